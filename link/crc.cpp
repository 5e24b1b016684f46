#include "link/crc.h"

#include <array>

namespace rk {
namespace {

// The two byte tables of the Modbus table-driven method: for every value of
// the index byte, the high and the low byte of the CRC register after
// shifting that byte out. Built at compile time from the polynomial.
struct CrcTables {
  std::array<uint8_t, 256> hi{};
  std::array<uint8_t, 256> lo{};
};

constexpr CrcTables makeTables() {
  CrcTables t;
  for (unsigned i = 0; i < 256; ++i) {
    unsigned r = i;
    for (int bit = 0; bit < 8; ++bit)
      r = (r & 1) != 0 ? (r >> 1) ^ 0xA001 : r >> 1;
    // The classic tables hold the register bytes in the order the
    // byte-swapped register of the method uses them.
    t.hi[i] = static_cast<uint8_t>(r & 0xFF);
    t.lo[i] = static_cast<uint8_t>(r >> 8);
  }
  return t;
}

constexpr CrcTables kTables = makeTables();
static_assert(kTables.hi[1] == 0xC1 && kTables.lo[1] == 0xC0, "Modbus CRC tables");
static_assert(kTables.hi[255] == 0x40 && kTables.lo[255] == 0x40, "Modbus CRC tables");

}  // namespace

uint16_t crc16(const uint8_t *data, uint16_t size, uint16_t init) {
  uint8_t lo = static_cast<uint8_t>(init & 0xFF);
  uint8_t hi = static_cast<uint8_t>(init >> 8);
  for (uint16_t i = 0; i < size; ++i) {
    const uint8_t index = lo ^ data[i];
    lo = hi ^ kTables.hi[index];
    hi = kTables.lo[index];
  }
  return static_cast<uint16_t>(hi << 8 | lo);
}

}  // namespace rk
