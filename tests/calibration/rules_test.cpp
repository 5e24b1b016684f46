// The arithmetic of the calibration dialogs, worked out independently here.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "calibration/dac_correction.h"

namespace calibration {
namespace {

TEST(DacCorrection, MapsTheMeasuredSpanOntoTheModesNominalSpan) {
  struct Case {
    const char *name;
    float mode, a, b;
    double gain, offset;  // expected
  };
  const Case cases[] = {
      {"4-20 mA", 0.0f, 4.1f, 19.8f, 16.0 / 15.7, (4.0 - 4.1) / 15.7},
      {"0-20 mA", 1.0f, 0.3f, 20.5f, 20.0 / 20.2, -0.3 / 20.2},
      {"0-24 mA", 2.0f, 0.2f, 23.5f, 24.0 / 23.3, -0.2 / 23.3},
      {"unknown mode 3 is 4-20 mA", 3.0f, 4.1f, 19.8f, 16.0 / 15.7, -0.1 / 15.7},
      {"mode 0.5 is no mode: 4-20 mA", 0.5f, 4.0f, 20.0f, 1.0, 0.0},
      {"equal readings: gain 1", 0.0f, 5.0f, 5.0f, 1.0, (4.0 - 5.0) / 16.0},
      {"equal readings, 0-24 mA", 2.0f, 1.0f, 1.0f, 1.0, -1.0 / 24.0},
      {"reversed leads", 0.0f, 20.0f, 4.0f, -1.0, 1.0},
  };
  for (const Case &c : cases) {
    const DacCorrection k = dacCorrection(c.mode, c.a, c.b);
    EXPECT_NEAR(k.gain, c.gain, 1e-6) << c.name;
    EXPECT_NEAR(k.offset, c.offset, 1e-6) << c.name;
  }
  // The figures a technician would see for the first case.
  const DacCorrection k = dacCorrection(0.0f, 4.1f, 19.8f);
  EXPECT_NEAR(k.gain, 1.01911, 5e-6);
  EXPECT_NEAR(k.offset, -0.00637, 5e-6);
}

TEST(DacCorrection, ReadingsFromZeroToThirtyMilliamperes) {
  struct Case {
    float ma;
    bool valid;
  };
  const Case cases[] = {{0.0f, true},
                        {30.0f, true},
                        {12.5f, true},
                        {-0.001f, false},
                        {30.001f, false},
                        {31.0f, false},
                        {std::numeric_limits<float>::infinity(), false},
                        {std::nanf(""), false}};
  for (const Case &c : cases)
    EXPECT_EQ(isValidReading(c.ma), c.valid) << c.ma;
}

}  // namespace
}  // namespace calibration
