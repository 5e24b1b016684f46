// CRC-16/MODBUS: reflected polynomial 0xA001, initial value 0xFFFF, no final
// XOR; the low byte goes first on the wire.
#pragma once

#include <cstdint>

namespace rk {

inline constexpr uint16_t kCrcInitial = 0xFFFF;

// The CRC of size bytes continued from init, so that one chunk's result can
// be passed as the next chunk's initial value.
uint16_t crc16(const uint8_t *data, uint16_t size, uint16_t init = kCrcInitial);

}  // namespace rk
