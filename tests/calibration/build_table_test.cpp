// Calibration points and computed tables of TQVZ2, on a device object without
// a link (no IdStr): the gap of a Kw point is then 0.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <limits>
#include <memory>
#include <string>

#include "device/qvz2.h"

namespace device {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

class BuildTableTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("calibration_test_" + std::to_string(::getpid()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir_);
    // S1 is disabled, S5 is 3.2 mm, S10 lies above the 6 mm limit.
    std::ofstream(dir_ / "sentune.ini")
        << "[SETTINGS]\nS1=-1\nS2=0.4\nS3=0.9\nS4=1.6\nS5=3.2\nS6=3.05\nS7=3.8\nS8=4.55\n"
           "S9=5.3\nS10=6.05\n";
    fresh();
  }
  void TearDown() override {
    dev_.reset();
    std::filesystem::remove_all(dir_);
  }

  // A new device object: every point cleared, no computed table.
  void fresh() {
    dev_.reset();
    dev_ = std::make_unique<TQVZ2>((dir_ / "sentune.ini").string());
  }
  CalibrationData &cal() { return dev_->calibration(); }

  std::filesystem::path dir_;
  std::unique_ptr<TQVZ2> dev_;
};

// Sample i of a table over lo..hi lies at lo + i * (hi - lo) / 749.
double voltageOf(int i, float lo, float hi) {
  return lo + i * (static_cast<double>(hi) - lo) / (kTableSize - 1);
}

bool allFinite(const std::array<float, kTableSize> &t) {
  for (float v : t) {
    if (!std::isfinite(v)) return false;
  }
  return true;
}

TEST_F(BuildTableTest, TwoPointsGiveTheClampedStraightLineBetweenThem) {
  struct Case {
    const char *name;
    bool kw;
    int first, second;  // point indexes
    double u1, y1, u2, y2;
    double upper;
  };
  const Case cases[] = {
      // S ordinates are the references 0.9 (S3) and 6.05 (S10): the top is cut at 6.
      {"S, top clamped", false, 2, 9, 0.5, 0.9, 2.0, 6.05, 6.0},
      {"Kw, bottom clamped", true, 0, 5, 1.0, -5.0, 1.5, 20.0, 1000.0},
      {"Kw, top clamped", true, 7, 3, 2.0, 1100.0, 1.0, 900.0, 1000.0},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    fresh();
    ASSERT_TRUE(dev_->setCalPoint(c.first, c.u1, c.kw, c.y1));
    ASSERT_TRUE(dev_->setCalPoint(c.second, c.u2, c.kw, c.y2));
    const auto &t = c.kw ? cal().kwComputed : cal().gapComputed;
    const float lo = c.kw ? cal().kwComputedMinUs : cal().gapComputedMinUs;
    const float hi = c.kw ? cal().kwComputedMaxUs : cal().gapComputedMaxUs;
    EXPECT_EQ(lo, static_cast<float>(std::min(c.u1, c.u2)));
    EXPECT_EQ(hi, static_cast<float>(std::max(c.u1, c.u2)));
    bool clamped = false;
    for (int i = 0; i < kTableSize; ++i) {
      const double u = voltageOf(i, lo, hi);
      const double line = c.y1 + (c.y2 - c.y1) * (u - c.u1) / (c.u2 - c.u1);
      const double expected = std::clamp(line, 0.0, c.upper);
      clamped = clamped || expected != line;
      ASSERT_NEAR(t[i], expected, 2e-5 * std::max(1.0, std::fabs(expected))) << "sample " << i;
    }
    EXPECT_TRUE(clamped);
  }
}

// The natural spline through (0, 0), (1, 0), (2, 1000) is 250(t^3 - t) on
// [0, 1], below zero, and 500t + 750t^2 - 250t^3 (t = u - 1) on [1, 2]; mirrored
// about 500, it rises above 1000 on [0, 1].
TEST_F(BuildTableTest, AnOvershootingSplineIsClampedSampleBySample) {
  const auto rising = [](double u) {
    if (u <= 1.0) return 250.0 * (u * u * u - u);
    const double t = u - 1.0;
    return 500.0 * t + 750.0 * t * t - 250.0 * t * t * t;
  };
  struct Case {
    const char *name;
    std::function<double(double)> spline;
    double y0, y1, y2;
  };
  const Case cases[] = {
      {"below 0", rising, 0.0, 0.0, 1000.0},
      {"above 1000", [&](double u) { return 1000.0 - rising(u); }, 1000.0, 1000.0, 0.0},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    fresh();
    ASSERT_TRUE(dev_->setCalPoint(0, 0.0, true, c.y0));
    ASSERT_TRUE(dev_->setCalPoint(1, 1.0, true, c.y1));
    ASSERT_TRUE(dev_->setCalPoint(2, 2.0, true, c.y2));
    int cut = 0;
    for (int i = 0; i < kTableSize; ++i) {
      const double u = voltageOf(i, 0.0f, 2.0f);
      const double v = c.spline(u);
      cut += v < 0.0 || v > 1000.0;
      ASSERT_NEAR(cal().kwComputed[i], std::clamp(v, 0.0, 1000.0), 1e-3) << "sample " << i;
    }
    EXPECT_GT(cut, 300);  // nearly all of the first half
  }
}

TEST_F(BuildTableTest, PointsTakenInAnyOrderGiveTheSameTable) {
  const struct {
    int index;
    double u;
  } points[] = {{1, 0.31}, {4, 1.2}, {6, 1.45}, {8, 2.1}, {9, 2.3}};
  for (auto p : points)
    ASSERT_TRUE(dev_->setCalPoint(p.index, p.u, false, 1.0));
  const CalibrationData inOrder = cal();

  fresh();
  for (int k = 4; k >= 0; --k)
    ASSERT_TRUE(dev_->setCalPoint(points[k].index, points[k].u, false, 1.0));
  EXPECT_EQ(cal().gapComputed, inOrder.gapComputed);
  EXPECT_EQ(cal().gapComputedMinUs, 0.31f);
  EXPECT_EQ(cal().gapComputedMaxUs, 2.3f);
  // Knots are hit: the first and last samples are the outer points' gaps.
  EXPECT_NEAR(cal().gapComputed[0], 0.4f, 1e-6);
  EXPECT_NEAR(cal().gapComputed[kTableSize - 1], 6.0f, 1e-6);  // 6.05, clamped
}

TEST_F(BuildTableTest, OnePointGivesAFlatTableOverTheDefaultRange) {
  // S: point 4 has the reference 3.2; Kw: the ordinate is given.
  for (bool kw : {false, true}) {
    SCOPED_TRACE(kw ? "Kw" : "S");
    ASSERT_TRUE(dev_->setCalPoint(4, 1.7, kw, 3.2));
    const auto &t = kw ? cal().kwComputed : cal().gapComputed;
    for (int i = 0; i < kTableSize; ++i)
      ASSERT_EQ(t[i], 3.2f) << "sample " << i;
    EXPECT_EQ(kw ? cal().kwComputedMinUs : cal().gapComputedMinUs, 0.0f);
    EXPECT_EQ(kw ? cal().kwComputedMaxUs : cal().gapComputedMaxUs, 2.5f);
  }
}

TEST_F(BuildTableTest, ClearingTheLastPointLeavesOnlyTheMarker) {
  ASSERT_TRUE(dev_->setCalPoint(2, 0.5, false, 1.0));
  ASSERT_TRUE(dev_->setCalPoint(3, 1.5, false, 1.0));
  ASSERT_TRUE(isComputed(cal().gapComputed[0]));
  ASSERT_TRUE(dev_->setCalPoint(2, -1.0, false, 1.0));
  EXPECT_TRUE(isComputed(cal().gapComputed[0]));  // one point: flat
  const CalibrationData flat = cal();

  ASSERT_TRUE(dev_->setCalPoint(3, -1.0, false, 1.0));
  EXPECT_EQ(cal().gapComputed[0], kNoCurveMarker);
  EXPECT_FALSE(isComputed(cal().gapComputed[0]));
  EXPECT_TRUE(std::equal(cal().gapComputed.begin() + 1, cal().gapComputed.end(),
                         flat.gapComputed.begin() + 1));
  EXPECT_EQ(cal().gapComputedMinUs, flat.gapComputedMinUs);
  EXPECT_EQ(cal().gapComputedMaxUs, flat.gapComputedMaxUs);
  EXPECT_EQ(cal().gapPoints[3].u, -1.0);
  EXPECT_FALSE(isComputed(cal().kwComputed[0]));  // the other set untouched
}

TEST_F(BuildTableTest, AnSPointWithANegativeReferenceNeverCounts) {
  ASSERT_TRUE(dev_->setCalPoint(0, 1.0, false, 1.0));  // S1 = -1
  EXPECT_EQ(cal().gapPoints[0].u, 1.0);
  EXPECT_FALSE(isComputed(cal().gapComputed[0]));
  ASSERT_TRUE(dev_->setCalPoint(4, 2.0, false, 1.0));
  EXPECT_EQ(cal().gapComputed[0], 3.2f);  // one valid point: flat
  EXPECT_EQ(cal().gapComputed[kTableSize - 1], 3.2f);
}

TEST_F(BuildTableTest, PointsTakeTheirOrdinatesAndReferences) {
  ASSERT_TRUE(dev_->setCalPoint(5, 1.25, false, 99.0));
  EXPECT_EQ(cal().gapPoints[5].y, static_cast<double>(3.05f));  // its own reference
  EXPECT_EQ(cal().gapPoints[5].ref, 3.05f);

  ASSERT_TRUE(dev_->setCalPoint(2, 1.25, true, 1.8));
  EXPECT_EQ(cal().kwPoints[2].u, 1.25);
  EXPECT_EQ(cal().kwPoints[2].y, 1.8);
  EXPECT_EQ(cal().kwPoints[2].ref, 0.0f);  // the gap; no sensor: 0
  ASSERT_TRUE(dev_->setCalPoint(2, -1.0, true, 1.0));
  EXPECT_EQ(cal().kwPoints[2].ref, -1.0f);
  EXPECT_EQ(cal().kwPoints[2].u, -1.0);
  EXPECT_EQ(cal().kwPoints[2].y, 1.0);
}

// A second knot at one voltage, or a voltage or ordinate that is no finite
// float, would fill the table with infinities or NaN: such a point is refused
// and the set and its table stay as they were.
TEST_F(BuildTableTest, APointThatWouldSpoilTheFitIsRefused) {
  struct Case {
    const char *name;
    bool kw;
    int index;
    double u, y;
  };
  const Case cases[] = {
      {"S, voltage of point 3", false, 4, 1.2, 1.0},
      {"Kw, voltage of point 3", true, 4, 1.2, 2.0},
      {"S, infinite voltage", false, 4, kInf, 1.0},
      {"Kw, infinite voltage", true, 4, kInf, 1.0},
      {"Kw, voltage beyond float", true, 4, 1e39, 1.0},
      {"Kw, infinite ordinate", true, 4, 1.6, kInf},
      {"Kw, NaN ordinate", true, 4, 1.6, kNaN},
      {"Kw, ordinate beyond float", true, 4, 1.6, -1e300},
      {"S, index beyond the set", false, 10, 1.6, 1.0},
      {"Kw, index beyond the set", true, 8, 1.6, 1.0},
      {"Kw, negative index", true, -1, 1.6, 1.0},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    fresh();
    ASSERT_TRUE(dev_->setCalPoint(3, 1.2, c.kw, 2.0));
    ASSERT_TRUE(dev_->setCalPoint(6, 2.0, c.kw, 2.5));
    const CalibrationData before = cal();
    EXPECT_FALSE(dev_->setCalPoint(c.index, c.u, c.kw, c.y));
    const auto same = [](const CalPoint &a, const CalPoint &b) {
      return a.u == b.u && a.ref == b.ref && a.y == b.y;
    };
    EXPECT_TRUE(
        std::equal(cal().gapPoints.begin(), cal().gapPoints.end(), before.gapPoints.begin(), same));
    EXPECT_TRUE(
        std::equal(cal().kwPoints.begin(), cal().kwPoints.end(), before.kwPoints.begin(), same));
    EXPECT_EQ(cal().gapComputed, before.gapComputed);
    EXPECT_EQ(cal().kwComputed, before.kwComputed);
    EXPECT_TRUE(allFinite(c.kw ? cal().kwComputed : cal().gapComputed));
  }
}

TEST_F(BuildTableTest, AVoltageOnlyAnotherPointDoesNotCountIsTaken) {
  // Point 0 has a negative reference: its voltage holds no knot.
  ASSERT_TRUE(dev_->setCalPoint(0, 1.2, false, 1.0));
  EXPECT_TRUE(dev_->setCalPoint(3, 1.2, false, 1.0));
  // Taking a point again at its own voltage, or clearing one, is no clash.
  EXPECT_TRUE(dev_->setCalPoint(3, 1.2, false, 1.0));
  ASSERT_TRUE(dev_->setCalPoint(6, 2.0, false, 1.0));
  EXPECT_TRUE(dev_->setCalPoint(6, -1.0, false, 1.0));
  EXPECT_TRUE(dev_->setCalPoint(6, 1.9, false, 1.0));
  // Kw and S sets do not see each other's voltages.
  EXPECT_TRUE(dev_->setCalPoint(1, 1.2, true, 1.0));
  EXPECT_TRUE(allFinite(cal().gapComputed));
  EXPECT_EQ(cal().gapComputedMinUs, 1.2f);
  EXPECT_EQ(cal().gapComputedMaxUs, 1.9f);
}

}  // namespace
}  // namespace device
