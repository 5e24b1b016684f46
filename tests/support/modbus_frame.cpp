#include "tests/support/modbus_frame.h"

namespace rktest {

uint16_t modbusCrc(const uint8_t *data, size_t size) {
  uint16_t crc = 0xFFFF;
  for (size_t i = 0; i < size; ++i) {
    crc ^= data[i];
    for (int bit = 0; bit < 8; ++bit)
      crc = (crc & 1) != 0 ? (crc >> 1) ^ 0xA001 : crc >> 1;
  }
  return crc;
}

Bytes withCrc(Bytes frame) {
  const uint16_t crc = modbusCrc(frame.data(), frame.size());
  frame.push_back(static_cast<uint8_t>(crc & 0xFF));
  frame.push_back(static_cast<uint8_t>(crc >> 8));
  return frame;
}

bool crcValid(const Bytes &frame) {
  if (frame.size() < 3) return false;
  const uint16_t crc = modbusCrc(frame.data(), frame.size() - 2);
  return frame[frame.size() - 2] == (crc & 0xFF) && frame.back() == (crc >> 8);
}

}  // namespace rktest
