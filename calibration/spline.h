// Cubic spline through calibration points: the fit behind the computed S(Us)
// and Kw(Us) tables. Pure functions in float64, no state, no dependencies.
//
//   const double x[] = {0.4, 0.9, 1.7};   // knots in any order
//   const double y[] = {0.0, 0.9, 2.3};
//   calibration::SplineTable t = calibration::BuildCubicSpline(2, x, y, 0.0, 0.0);
//   double s = calibration::EvaluateSpline(2, t, 1.2);
#pragma once

#include <span>
#include <vector>

namespace calibration {

// The polynomial of the interval that starts at knot x: with t = u - x the
// spline is a + b*t + c*t^2 + d*t^3 there.
struct SplinePiece {
  double a = 0;  // value at the knot
  double b = 0;
  double c = 0;
  double d = 0;
  double x = 0;  // the knot's abscissa
};

// One piece per knot, in ascending order of x. b, c and d of the last piece
// are never used (zero).
struct SplineTable {
  std::vector<SplinePiece> pieces;
};

// The cubic spline through the m + 1 knots (x[k], y[k]) (m >= 1 intervals),
// with the second derivatives `left` and `right` at the outer knots; 0.0 and
// 0.0 give the natural spline, and with two knots the straight line. The knots
// may come in any order; the caller's arrays are not changed. Knots must have
// distinct abscissas. An empty table when m < 1 or x or y has fewer than
// m + 1 values.
SplineTable BuildCubicSpline(int m, std::span<const double> x, std::span<const double> y,
                             double left, double right);

// The spline of `table` (built with the same m) at u. A knot's own abscissa
// is evaluated on the interval that ends there (the first knot on the first
// interval); beyond the outer knots the end polynomials go on. NaN when the
// table does not hold m + 1 knots.
double EvaluateSpline(int m, const SplineTable &table, double u);

}  // namespace calibration
