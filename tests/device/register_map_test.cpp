// The record reads register data as the link library delivers it: each
// register in host order, the low word of a field in the lower register.
#include <gtest/gtest.h>

#include <cstring>

#include "device/register_map.h"

namespace device {
namespace {

// The library swaps the two bytes of each register between wire and buffer.
void fromWire(const uint8_t *wire, size_t registers, void *out) {
  auto *p = static_cast<uint8_t *>(out);
  for (size_t i = 0; i < registers; ++i) {
    p[2 * i] = wire[2 * i + 1];
    p[2 * i + 1] = wire[2 * i];
  }
}

TEST(RegisterMap, SensorNumberWordOrder) {
  const struct {
    uint8_t wire[4];
    int32_t number;
  } cases[] = {
      {{0x00, 0x01, 0x00, 0x00}, 1},
      {{0x00, 0x00, 0x00, 0x01}, 65536},
      {{0xFF, 0xFF, 0xFF, 0xFF}, -1},
  };
  for (const auto &c : cases) {
    ConfigBlock config{};
    // Register 16 sits at byte 24 of the block read from register 4.
    uint8_t wire[2 * reg::kConfigCount] = {};
    std::memcpy(wire + 2 * (reg::kSensorNumber - reg::kConfigStart), c.wire, 4);
    fromWire(wire, reg::kConfigCount, &config);
    EXPECT_EQ(config.sensorNumber, c.number);
  }
}

TEST(RegisterMap, FloatArrivesWordSwapped) {
  // 1.0f is 3F 80 00 00; the wire carries C D A B = 00 00 3F 80.
  uint8_t wire[2 * reg::kInputCount] = {};
  const uint8_t typeOne[4] = {0x00, 0x00, 0x3F, 0x80};
  std::memcpy(wire + 2 * 28, typeOne, 4);
  InputBlock inputs{};
  fromWire(wire, reg::kInputCount, &inputs);
  EXPECT_EQ(inputs.sensorType, 1.0f);
  EXPECT_EQ(sensorKind(inputs.sensorType), 1);
}

}  // namespace
}  // namespace device
