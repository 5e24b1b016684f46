// The calibration operations that read what the sensor delivers: lookupKw in
// the stored Kw table, and the gap a Kw point records. TQVZ2 against qvzsim.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstring>
#include <vector>

#include "tests/device/device_fixture.h"

namespace device::testing {
namespace {

using CalibrationSimTest = DeviceTest;

constexpr float kLo = 1.0f;  // kwTableMinUs
constexpr float kHi = 2.0f;  // kwTableMaxUs

// Kw sample k is 0.01 (k + 1), except 100 (zero) and 200 (negative).
float storedKw(int k) {
  if (k == 100) return 0.0f;
  if (k == 200) return -3.0f;
  return 0.01f * static_cast<float>(k + 1);
}

void putFloat(std::vector<uint8_t> &image, int index, float v) {
  const uint32_t bits = std::bit_cast<uint32_t>(v);
  for (int b = 0; b < 4; ++b)
    image[4 * static_cast<size_t>(index) + b] = static_cast<uint8_t>(bits >> (8 * b));
}

TEST_F(CalibrationSimTest, LookupKwInTheStoredTable) {
  qvzsim::Sensor s = startSensor(1);
  std::vector<uint8_t> image = s.tableImage();
  for (int k = 0; k < kTableSize; ++k)
    putFloat(image, kTableSize + k, storedKw(k));
  putFloat(image, 1507, kLo);
  putFloat(image, 1508, kHi);
  ASSERT_TRUE(s.setTableImage(image));

  TQVZ2 &dev = makeDevice(1);
  ASSERT_TRUE(waitOnline());
  ASSERT_EQ(dev.snapshot().tables.tableTail.kwTableMaxUs, kHi);

  const float justBelowHi = std::nextafter(kHi, 0.0f);
  struct Case {
    const char *name;
    float u;
    float kw;
  };
  const Case cases[] = {
      {"far below", -5.0f, storedKw(0)},
      {"just below lo", std::nextafter(kLo, 0.0f), storedKw(0)},
      {"at lo", kLo, storedKw(0)},
      {"nearest sample, down", kLo + 0.4f / 750.0f, storedKw(0)},
      {"nearest sample, up", kLo + 0.6f / 750.0f, storedKw(1)},
      {"middle", 1.5f, storedKw(375)},
      {"750 steps a range, not 749", kLo + 0.999f, storedKw(749)},
      {"just below hi: 749, never 750", justBelowHi, storedKw(749)},
      {"at hi", kHi, storedKw(749)},
      {"above hi", 7.0f, storedKw(749)},
      {"zero sample", kLo + 100.0f / 750.0f, 1.0f},
      {"negative sample", kLo + 200.0f / 750.0f, 1.0f},
      {"not a number", std::nanf(""), storedKw(0)},
  };
  for (const Case &c : cases)
    EXPECT_EQ(dev.lookupKw(c.u), c.kw) << c.name;
}

TEST_F(CalibrationSimTest, AKwPointRecordsThePresentGap) {
  qvzsim::Sensor s = startSensor(1);
  s.setGap(1.75);
  TQVZ2 &dev = makeDevice(1);
  ASSERT_TRUE(waitOnline());
  const float gap = dev.snapshot().inputs.valueSZ;
  ASSERT_GT(gap, 1.0f);

  ASSERT_TRUE(dev.setCalPoint(3, 1.1, true, 2.5));
  EXPECT_EQ(dev.calibration().kwPoints[3].ref, gap);
  // The S set keeps its reference gaps from the INI file whatever the sensor says.
  ASSERT_TRUE(dev.setCalPoint(3, 1.1, false, 2.5));
  EXPECT_EQ(dev.calibration().gapPoints[3].ref, 1.6f);
  EXPECT_EQ(dev.calibration().gapPoints[3].y, static_cast<double>(1.6f));
}

}  // namespace
}  // namespace device::testing
