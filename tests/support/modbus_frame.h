// Building and checking Modbus RTU frames on the device side of a test.
// Written independently of the link library, so that a fault in one CRC
// cannot hide in both.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace rktest {

using Bytes = std::vector<uint8_t>;

uint16_t modbusCrc(const uint8_t *data, size_t size);

// The frame with its CRC appended (low byte first).
Bytes withCrc(Bytes frame);

// True when the last two bytes are the CRC of the bytes before them.
bool crcValid(const Bytes &frame);

}  // namespace rktest
