// CRC-16/MODBUS as the sensor computes it (poly 0xA001 reflected, init 0xFFFF).
#ifndef QVZSIM_CRC_H
#define QVZSIM_CRC_H

#include <cstddef>
#include <cstdint>
#include <span>

namespace qvzsim {

uint16_t crc16(std::span<const uint8_t> bytes, uint16_t init = 0xFFFF);

// True when the last two bytes (low byte first) are the CRC of the others.
bool crcValid(std::span<const uint8_t> frame);

}  // namespace qvzsim

#endif
