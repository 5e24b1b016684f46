// The cubic spline against values worked out by hand from functions whose
// spline is known.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "calibration/spline.h"

namespace calibration {
namespace {

constexpr double kTol = 1e-12;

// g is a natural cubic spline itself: x^3 on [0, 1], then
// 1 + 3t + 3t^2 - t^3 with t = x - 1 on [1, 2] (equal value, slope and
// curvature at 1, curvature 0 at 0 and 2). The natural spline through its
// knots (0, 0), (1, 1), (2, 6) must be g, its end pieces extended outside.
double g(double x) {
  if (x <= 1.0) return x * x * x;
  const double t = x - 1.0;
  return 1.0 + 3.0 * t + 3.0 * t * t - t * t * t;
}

TEST(Spline, TwoKnotsGiveTheStraightLineThroughThem) {
  const double x[] = {1.0, 3.0};
  const double y[] = {2.0, 6.0};
  const SplineTable t = BuildCubicSpline(1, x, y, 0.0, 0.0);
  for (double u : {-2.0, 0.0, 1.0, 1.5, 2.0, 3.0, 7.5}) {
    EXPECT_NEAR(EvaluateSpline(1, t, u), 2.0 * u, kTol) << "u " << u;
  }
}

TEST(Spline, NaturalSplineThroughTheKnotsOfAKnownSpline) {
  const double x[] = {0.0, 1.0, 2.0};
  const double y[] = {g(0.0), g(1.0), g(2.0)};
  const SplineTable t = BuildCubicSpline(2, x, y, 0.0, 0.0);
  ASSERT_EQ(t.pieces.size(), 3u);
  // Inside, on the knots, and extrapolated on both sides with the end cubics:
  // left of 0 the first piece x^3, right of 2 the second piece.
  for (double u : {0.0, 0.25, 0.5, 0.9, 1.0, 1.1, 1.5, 1.99, 2.0, -1.0, -0.3, 2.5, 3.0}) {
    EXPECT_NEAR(EvaluateSpline(2, t, u), g(u), 1e-12) << "u " << u;
  }
  EXPECT_NEAR(EvaluateSpline(2, t, -1.0), -1.0, kTol);
  EXPECT_NEAR(EvaluateSpline(2, t, 3.0), 11.0, kTol);
}

// With the end curvatures of a cubic polynomial given, the spline through
// any knots of it is that polynomial.
TEST(Spline, EndCurvaturesOfACubicReproduceIt) {
  const auto f = [](double u) { return u * u * u - 2.0 * u * u + 0.5 * u + 1.0; };
  const auto f2 = [](double u) { return 6.0 * u - 4.0; };
  const std::vector<double> x = {-1.0, -0.2, 0.3, 1.7, 2.0, 3.5};
  std::vector<double> y;
  for (double u : x)
    y.push_back(f(u));
  const int m = static_cast<int>(x.size()) - 1;
  const SplineTable t = BuildCubicSpline(m, x, y, f2(x.front()), f2(x.back()));
  for (double u = -3.0; u <= 5.0; u += 0.125) {
    EXPECT_NEAR(EvaluateSpline(m, t, u), f(u), 1e-9) << "u " << u;
  }
}

TEST(Spline, KnotOrderDoesNotMatterAndTheCallersArraysStay) {
  const std::vector<double> x = {0.3, 1.1, 0.6, 2.0, 1.4};
  const std::vector<double> y = {0.2, 2.0, 1.1, 2.6, 2.5};
  const std::vector<double> xs = {0.3, 0.6, 1.1, 1.4, 2.0};
  const std::vector<double> ys = {0.2, 1.1, 2.0, 2.5, 2.6};
  const SplineTable shuffled = BuildCubicSpline(4, x, y, 0.0, 0.0);
  const SplineTable sorted = BuildCubicSpline(4, xs, ys, 0.0, 0.0);
  EXPECT_EQ(x, (std::vector<double>{0.3, 1.1, 0.6, 2.0, 1.4}));
  EXPECT_EQ(y, (std::vector<double>{0.2, 2.0, 1.1, 2.6, 2.5}));
  for (double u = -0.5; u <= 2.5; u += 0.01) {
    EXPECT_EQ(EvaluateSpline(4, shuffled, u), EvaluateSpline(4, sorted, u)) << "u " << u;
  }
  for (size_t k = 0; k < xs.size(); ++k) {
    EXPECT_NEAR(EvaluateSpline(4, sorted, xs[k]), ys[k], 1e-12);
  }
}

// A table of constant pieces shows which interval an abscissa falls in.
TEST(Spline, BisectionPicksTheIntervalEndingAtAKnot) {
  SplineTable t;
  t.pieces = {{10, 0, 0, 0, 0.0}, {20, 0, 0, 0, 1.0}, {30, 0, 0, 0, 2.0}, {40, 0, 0, 0, 3.0}};
  struct Case {
    double u;
    double value;
  };
  const Case cases[] = {
      {-5.0, 10},                                     // left of all knots: the first interval
      {0.0, 10},                                      // the first knot: the first interval
      {0.5, 10},    {1.0, 10},                        // knot 1 ends interval 0
      {1.0001, 20}, {2.0, 20}, {2.5, 30}, {3.0, 30},  // the last knot: the last interval
      {100.0, 30},                                    // right of all knots: the last interval
  };
  for (const Case &c : cases) {
    EXPECT_EQ(EvaluateSpline(3, t, c.u), c.value) << "u " << c.u;
  }
}

TEST(Spline, MalformedArgumentsGiveNoTable) {
  const double x[] = {0.0, 1.0};
  const double y[] = {0.0, 1.0};
  EXPECT_TRUE(BuildCubicSpline(0, x, y, 0.0, 0.0).pieces.empty());
  EXPECT_TRUE(BuildCubicSpline(2, x, y, 0.0, 0.0).pieces.empty());  // three knots asked, two given
  const SplineTable t = BuildCubicSpline(1, x, y, 0.0, 0.0);
  EXPECT_TRUE(std::isnan(EvaluateSpline(2, t, 0.5)));  // another m than the table's
  EXPECT_TRUE(std::isnan(EvaluateSpline(0, t, 0.5)));
}

}  // namespace
}  // namespace calibration
