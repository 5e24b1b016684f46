#include "adc/block.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

namespace {

std::vector<int16_t> sine(size_t n, double amplitude, double period, double phase, int dc = 0) {
  std::vector<int16_t> s(n);
  for (size_t i = 0; i < n; ++i) {
    s[i] = static_cast<int16_t>(
        std::lround(dc + amplitude * std::sin(2 * std::numbers::pi * i / period + phase)));
  }
  return s;
}

TEST(ProcessBlock, SineGivesAmplitudeOverRootTwoBetweenFirstAndLastRisingCrossing) {
  struct Case {
    double amplitude, period, phase;
  } cases[] = {{800, 100, 0.3}, {800, 187.5, 2.0}, {5000, 64, -1.0}, {30000, 1000, 0.1}};
  for (const Case &c : cases) {
    std::vector<int16_t> s = sine(15008, c.amplitude, c.period, c.phase);
    const adc::BlockResult r = adc::processBlock(s, 0, 0.00125);
    const double expected = c.amplitude / std::sqrt(2.0) * 0.00125;
    EXPECT_NEAR(r.reference, expected, expected * 0.002) << c.period;
    // Whole periods only: the window is shorter than the block by less than two periods.
    EXPECT_LT(r.pointsUsed, 15008);
    EXPECT_GT(r.pointsUsed, 15008 - 2 * c.period);
    const double periods = r.pointsUsed / c.period;
    EXPECT_NEAR(periods, std::round(periods), 1.0 / c.period + 1e-9) << c.period;
  }
}

TEST(ProcessBlock, WindowRunsFromFirstToLastCrossing) {
  // Rising crossings at 3 and 7 (a negative sample followed by one that is not).
  std::vector<int16_t> s = {5, -1, -2, 0, 4, 3, -5, 1, 2, -1};
  const adc::BlockResult r = adc::processBlock(s, 0, 1.0);
  EXPECT_EQ(r.pointsUsed, 4);
  // Samples 0, 4, 3, -5: mean 0.5, squared deviations 0.25 + 12.25 + 6.25 + 30.25.
  EXPECT_DOUBLE_EQ(r.reference, 3.5);
}

TEST(ProcessBlock, WithoutTwoCrossingsTheWholeBlockCounts) {
  struct Case {
    const char *what;
    std::vector<int16_t> samples;
    double expected;
  } cases[] = {
      {"positive constant", std::vector<int16_t>(4096, 500), 0.0},
      {"negative constant", std::vector<int16_t>(4096, -500), 0.0},
      {"zero", std::vector<int16_t>(4096, 0), 0.0},
      {"one crossing", {-3, -1, 1, 3}, std::sqrt(5.0)},
      {"half a period", sine(500, 1000, 1000, 0.1), -1},
  };
  for (Case &c : cases) {
    const size_t n = c.samples.size();
    const adc::BlockResult r = adc::processBlock(c.samples, 0, 1.0);
    EXPECT_EQ(r.pointsUsed, static_cast<int32_t>(n)) << c.what;
    if (c.expected >= 0) {
      EXPECT_DOUBLE_EQ(r.reference, c.expected) << c.what;
    } else {
      EXPECT_GT(r.reference, 0.0) << c.what;
    }
  }
}

TEST(ProcessBlock, OffsetIsAddedInPlaceWithWrapAround) {
  std::vector<int16_t> s = {32767, -32768, 0, 100};
  adc::processBlock(s, 1, 1.0);
  EXPECT_EQ(s, (std::vector<int16_t>{-32768, -32767, 1, 101}));
  adc::processBlock(s, -65536 - 2, 1.0);  // only the low 16 bits count
  EXPECT_EQ(s, (std::vector<int16_t>{32766, 32767, -1, 99}));
}

TEST(ProcessBlock, OffsetDecidesWhereTheSignalCrossesZero) {
  // Lifted 2000 codes, the sine never crosses zero; the offset brings it back.
  const std::vector<int16_t> lifted = sine(15008, 1000, 100, 0.3, 2000);
  std::vector<int16_t> asIs = lifted;
  std::vector<int16_t> corrected = lifted;
  EXPECT_EQ(adc::processBlock(asIs, 0, 1.0).pointsUsed, 15008);
  const adc::BlockResult r = adc::processBlock(corrected, -2000, 1.0);
  EXPECT_LT(r.pointsUsed, 15008);
  EXPECT_NEAR(r.reference, 1000 / std::sqrt(2.0), 1.0);
}

TEST(ProcessBlock, ScaleSignDoesNotMatterAndExtremesDoNotOverflow) {
  std::vector<int16_t> s(32768);
  for (size_t i = 0; i < s.size(); ++i)
    s[i] = (i % 2) != 0 ? 32767 : -32768;
  std::vector<int16_t> copy = s;
  const adc::BlockResult r = adc::processBlock(s, 0, -2.0);
  EXPECT_EQ(r.pointsUsed, 32766);  // crossings at 1 and 32767
  EXPECT_DOUBLE_EQ(r.reference, 2.0 * 32767.5);
  EXPECT_DOUBLE_EQ(adc::processBlock(copy, 0, 2.0).reference, r.reference);
}

}  // namespace
