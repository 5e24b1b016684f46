#include "crc.h"

#include <array>

namespace qvzsim {
namespace {

// One 16-bit table of the reflected polynomial, built at compile time.
constexpr std::array<uint16_t, 256> makeTable() {
  std::array<uint16_t, 256> table{};
  for (unsigned i = 0; i < 256; ++i) {
    uint16_t r = static_cast<uint16_t>(i);
    for (int bit = 0; bit < 8; ++bit)
      r = (r & 1) ? static_cast<uint16_t>((r >> 1) ^ 0xA001) : r >> 1;
    table[i] = r;
  }
  return table;
}

constexpr auto kTable = makeTable();

}  // namespace

uint16_t crc16(std::span<const uint8_t> bytes, uint16_t init) {
  uint16_t crc = init;
  for (uint8_t b : bytes)
    crc = static_cast<uint16_t>((crc >> 8) ^ kTable[(crc ^ b) & 0xFF]);
  return crc;
}

bool crcValid(std::span<const uint8_t> frame) {
  if (frame.size() < 3) return false;
  const size_t n = frame.size() - 2;
  const uint16_t crc = crc16(frame.first(n));
  return frame[n] == (crc & 0xFF) && frame[n + 1] == (crc >> 8);
}

}  // namespace qvzsim
