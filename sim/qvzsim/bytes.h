// Byte and word helpers: Modbus data is big-endian per register, a 32-bit
// field keeps its low word in the lower register, file requests are little-endian.
#ifndef QVZSIM_BYTES_H
#define QVZSIM_BYTES_H

#include <bit>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace qvzsim {

inline uint16_t be16(std::span<const uint8_t> b, size_t at) {
  return static_cast<uint16_t>((b[at] << 8) | b[at + 1]);
}
inline uint16_t le16(std::span<const uint8_t> b, size_t at) {
  return static_cast<uint16_t>(b[at] | (b[at + 1] << 8));
}
inline uint32_t le32(std::span<const uint8_t> b, size_t at) {
  return b[at] | (uint32_t{b[at + 1]} << 8) | (uint32_t{b[at + 2]} << 16) |
         (uint32_t{b[at + 3]} << 24);
}
inline void putBe16(std::vector<uint8_t> &out, uint16_t v) {
  out.push_back(static_cast<uint8_t>(v >> 8));
  out.push_back(static_cast<uint8_t>(v));
}
inline void putLe16(std::vector<uint8_t> &out, uint16_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}
inline void putLe32(std::vector<uint8_t> &out, uint32_t v) {
  for (int i = 0; i < 4; ++i)
    out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

// A 32-bit field over two registers, low word first.
inline uint32_t wordsToU32(uint16_t low, uint16_t high) {
  return low | (uint32_t{high} << 16);
}
inline float wordsToFloat(uint16_t low, uint16_t high) {
  return std::bit_cast<float>(wordsToU32(low, high));
}
inline void u32ToWords(uint32_t v, uint16_t *words) {
  words[0] = static_cast<uint16_t>(v);
  words[1] = static_cast<uint16_t>(v >> 16);
}
inline void floatToWords(float f, uint16_t *words) {
  u32ToWords(std::bit_cast<uint32_t>(f), words);
}

}  // namespace qvzsim

#endif
