// Modbus RTU frames as the link library holds them.
#pragma once

#include <cstdint>

namespace rk {

inline constexpr uint32_t kFrameCapacity = 3500;
// The longest request without its CRC, so that the CRC still fits.
inline constexpr uint32_t kMaxRequest = kFrameCapacity - 3;

// A request or reply: address, function, data and (once added) the CRC.
struct Frame {
  uint32_t length = 0;
  uint8_t bytes[kFrameCapacity];

  void put8(uint8_t v) { bytes[length++] = v; }
  void put16be(uint32_t v) {
    put8(static_cast<uint8_t>(v >> 8));
    put8(static_cast<uint8_t>(v));
  }
  void put16le(uint32_t v) {
    put8(static_cast<uint8_t>(v));
    put8(static_cast<uint8_t>(v >> 8));
  }
  void put32le(uint32_t v) {
    put16le(v & 0xFFFF);
    put16le(v >> 16);
  }
  uint32_t get16le(uint32_t at) const {
    return bytes[at] | static_cast<uint32_t>(bytes[at + 1]) << 8;
  }
  uint32_t get32le(uint32_t at) const { return get16le(at) | get16le(at + 2) << 16; }
};

}  // namespace rk
