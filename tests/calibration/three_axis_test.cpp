// The three-component calibration's arithmetic and the test dialog's layouts,
// without widgets.
#include <gtest/gtest.h>

#include <string>

#include "calibration/test_layout.h"
#include "calibration/three_axis.h"

namespace calibration {
namespace {

TEST(ThreeAxis, VelocityFactorIsSixteenHundredOverTheFrequency) {
  struct Case {
    float hz, k;
  } cases[] = {{160.0f, 10.0f},
               {40.0f, 40.0f},
               {700.0f, 1600.0f / 700.0f},
               {1.0f, 1600.0f},
               {10000.0f, 0.16f}};
  for (const Case &c : cases) {
    EXPECT_FLOAT_EQ(velocityFactor(c.hz), c.k) << c.hz << " Hz";
  }
  // 0.5 V at 160 Hz is 5 mm/s; 5 mm/s at 40 Hz shows as a four times smaller voltage.
  EXPECT_FLOAT_EQ(velocityFactor(160.0f) * 0.5f, 5.0f);
  EXPECT_FLOAT_EQ(5.0f / velocityFactor(40.0f), 0.125f);
}

TEST(ThreeAxis, MeasuredTextShowsTheErrorAgainstAPositiveReference) {
  struct Case {
    float measured, reference;
    const char *text;
  } cases[] = {
      {5.1f, 5.0f, "  5.10  [2.0%]"},
      {5.0f, 5.0f, "  5.00  [0.0%]"},
      {4.9f, 5.0f, "  4.90  [-2.0%]"},
      {5.0f, 1.0f, "  5.00  [400.0%]"},  // against the first reference of a new dialog
      {123.456f, 100.0f, "123.46  [23.5%]"},
      {1234.5f, 1000.0f, "1234.50  [23.5%]"},  // wider than six: nothing cut
      {-0.25f, 2.0f, " -0.25  [-112.5%]"},
      {5.0f, 0.0f, "  5.00"},  // no reference: no error to show
      {5.0f, -1.0f, "  5.00"},
  };
  for (const Case &c : cases) {
    EXPECT_EQ(measuredText(c.measured, c.reference), c.text)
        << c.measured << " against " << c.reference;
  }
  // The widest floats still come out whole.
  EXPECT_EQ(measuredText(-3.0e38f, 1.0e-38f),
            "-300000000549775575777803994281145270272.00  [-inf%]");
}

TEST(ThreeAxis, AxesMapToTheirRegistersAndValues) {
  device::ConfigBlock config{};
  config.refZ = 1, config.coefZ = 2, config.refX = 3, config.coefX = 4;
  config.refY = 5, config.coefY = 6;
  device::InputBlock inputs{};
  inputs.valueSZ = 7, inputs.valueWX = 8, inputs.valueY = 9;
  struct Case {
    Axis axis;
    int referenceIndex, tareIndex;  // registers 4 + 2 * index
    float reference, tare, measured;
  } cases[] = {{Axis::Z, 0, 1, 1, 2, 7}, {Axis::X, 2, 3, 3, 4, 8}, {Axis::Y, 4, 5, 5, 6, 9}};
  for (const Case &c : cases) {
    SCOPED_TRACE(static_cast<int>(c.axis));
    EXPECT_EQ(referenceIndex(c.axis), c.referenceIndex);
    EXPECT_EQ(tareIndex(c.axis), c.tareIndex);
    const AxisState s = axisState(config, inputs, c.axis);
    EXPECT_EQ(s.reference, c.reference);
    EXPECT_EQ(s.tare, c.tare);
    EXPECT_EQ(s.measured, c.measured);
  }
  EXPECT_EQ(kWriteOrder[0], Axis::Y);
  EXPECT_EQ(kWriteOrder[1], Axis::X);
  EXPECT_EQ(kWriteOrder[2], Axis::Z);
}

TEST(TestDialogLayout, FollowsTheSensorType) {
  struct Case {
    float type;
    std::string_view label1, label2;
    bool enabled, third, ranges;
    float minimum, maximum;
  } cases[] = {
      {1.0f, "", "", true, false, true, -6.0f, 6.0f},
      {2.0f, "Ось Z, мм/с:", "Ось X, мм/с:", true, true, true, 0.0f, 100.0f},
      {3.0f, "", "", false, false, false, 0.0f, 0.0f},  // test signal on
      {0.0f, "", "", false, false, false, 0.0f, 0.0f},  // no valid data
      {1.5f, "", "", false, false, false, 0.0f, 0.0f},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.type);
    const TestLayout l = testLayout(c.type);
    EXPECT_EQ(l.label1, c.label1);
    EXPECT_EQ(l.label2, c.label2);
    EXPECT_EQ(l.firstTwoEnabled, c.enabled);
    EXPECT_EQ(l.thirdShown, c.third);
    EXPECT_EQ(l.rangesSet, c.ranges);
    if (c.ranges) {
      EXPECT_EQ(l.minimum, c.minimum);
      EXPECT_EQ(l.maximum, c.maximum);
    }
  }
}

}  // namespace
}  // namespace calibration
