// The arithmetic of the calibration dialogs, worked out independently here.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <optional>

#include "calibration/channel_rules.h"
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
  // Readings a hair apart: a correction beyond float32 is none.
  EXPECT_FALSE(isFinite(dacCorrection(0.0f, 0.0f, 1e-45f)));
  EXPECT_FALSE(isFinite(dacCorrection(1.0f, 1e-45f, 0.0f)));
  EXPECT_TRUE(isFinite(dacCorrection(0.0f, 4.0f, 4.000001f)));
  EXPECT_TRUE(isFinite(dacCorrection(0.0f, 5.0f, 5.0f)));
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

TEST(ChannelRules, ReferenceDisplacementFromVoltageAndFrequency) {
  auto expected = [](double u, double f) {
    const double omega = 2.0 * 3.141592625 * f;
    return u * 10.0 * 1e6 / (omega * omega);
  };
  EXPECT_NEAR(referenceDisplacement(1.0f, 160.0f), 9.8946, 5e-5);
  EXPECT_DOUBLE_EQ(referenceDisplacement(1.0f, 160.0f), expected(1.0, 160.0));
  EXPECT_DOUBLE_EQ(referenceDisplacement(1.0f, 40.0f), 16.0 * referenceDisplacement(1.0f, 160.0f));
  // The voltage is scaled in float32 before the float64 arithmetic.
  EXPECT_DOUBLE_EQ(referenceDisplacement(0.7071f, 700.0f),
                   double{0.7071f * 10.0f} * 1e6 / std::pow(2.0 * 3.141592625 * 700.0, 2));
  EXPECT_LT(referenceDisplacement(-32768.0f, 160.0f), 0.0) << "no measurement: no displacement";
}

TEST(ChannelRules, RelativeErrorOnlyAgainstAPositiveReference) {
  ASSERT_TRUE(gapErrorPercent(2.05f, 2.0f).has_value());
  EXPECT_NEAR(*gapErrorPercent(2.05f, 2.0f), 2.5f, 1e-4f);
  EXPECT_NEAR(*gapErrorPercent(1.9f, 2.0f), -5.0f, 1e-4f);
  EXPECT_FALSE(gapErrorPercent(2.05f, 0.0f).has_value());
  EXPECT_FALSE(gapErrorPercent(2.05f, -1.0f).has_value());
  EXPECT_DOUBLE_EQ(*displacementErrorPercent(11.0f, 10.0), 10.0);
  EXPECT_FALSE(displacementErrorPercent(11.0f, 0.0).has_value());
  EXPECT_FALSE(displacementErrorPercent(11.0f, -1.0).has_value());
}

TEST(ChannelRules, GainsCorrectedFromATrueValue) {
  struct Case {
    const char *name;
    float k, truth, reading;
    std::optional<float> gain;
  };
  const Case cases[] = {
      {"reading 1.6 should be 2.0", 1.0f, 2.0f, 1.6f, 1.25f},
      {"float32 product", 1.1f, 2.0f, 1.6f, 1.1f * 2.0f / 1.6f},
      {"reading 0: nothing", 1.0f, 2.0f, 0.0f, std::nullopt},
      {"true value 0 would zero the gain", 1.0f, 0.0f, 1.6f, std::nullopt},
      {"negative reading", 1.0f, 2.0f, -1.6f, std::nullopt},
      {"overflow", 1e30f, 1e30f, 1e-30f, std::nullopt},
  };
  for (const Case &c : cases)
    EXPECT_EQ(correctedGain(c.k, c.truth, c.reading), c.gain) << c.name;

  EXPECT_EQ(kw2FromReference(1.0f, 9.0, 10.0f), static_cast<float>(1.0 * 9.0 / 10.0));
  EXPECT_EQ(kw2FromReference(1.0f, -1.0, 10.0f), std::nullopt) << "no reference";
  EXPECT_EQ(kw2FromReference(1.0f, 0.0, 10.0f), std::nullopt) << "zero reference";
  EXPECT_EQ(kw2FromReference(1.0f, 9.0, 0.0f), std::nullopt) << "W reads 0";
}

TEST(ChannelRules, KwPointNeedsAPositiveReference) {
  EXPECT_DOUBLE_EQ(*kwPointCoefficient(1.2f, 9.0, 10.0f), double{1.2f} * 9.0 / 10.0);
  EXPECT_DOUBLE_EQ(*kwPointCoefficient(1.2f, 9.0, 0.0f), 1.0) << "W reads 0: Kw 1";
  EXPECT_FALSE(kwPointCoefficient(1.2f, -1.0, 10.0f).has_value()) << "no reference";
  EXPECT_FALSE(kwPointCoefficient(1.2f, 0.0, 10.0f).has_value());
  EXPECT_FALSE(kwPointCoefficient(1.2f, -331000.0, 10.0f).has_value()) << "module without value";
}

TEST(ChannelRules, ChooserFlags) {
  struct Case {
    const char *name;
    bool changed, accepted, computed, written;
    bool result;
  };
  const Case cases[] = {
      {"OK with a computed table", false, true, true, false, true},
      {"OK without a computed table", false, true, false, false, false},
      {"Cancel after taking points", false, false, true, false, false},
      {"Cancel after writing the gain", false, false, true, true, true},
      {"OK without points, gain written", false, true, false, true, true},
      {"a set flag stays set", true, false, false, false, true},
  };
  for (const Case &c : cases)
    EXPECT_EQ(channelChanged(c.changed, c.accepted, c.computed, c.written), c.result) << c.name;
}

}  // namespace
}  // namespace calibration
