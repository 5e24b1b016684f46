#include "calibration/spline.h"

#include <algorithm>
#include <limits>

namespace calibration {

SplineTable BuildCubicSpline(int m, std::span<const double> x, std::span<const double> y,
                             double left, double right) {
  SplineTable table;
  if (m < 1 || x.size() < static_cast<size_t>(m) + 1 || y.size() < static_cast<size_t>(m) + 1) {
    return table;
  }
  const size_t n = static_cast<size_t>(m) + 1;

  // Work on the knots sorted by abscissa, held in the table's pieces.
  std::vector<SplinePiece> &knots = table.pieces;
  knots.resize(n);
  for (size_t k = 0; k < n; ++k) {
    knots[k].x = x[k];
    knots[k].a = y[k];
  }
  std::stable_sort(knots.begin(), knots.end(),
                   [](const SplinePiece &l, const SplinePiece &r) { return l.x < r.x; });

  // Tridiagonal system mu_k*M_(k-1) + 2*M_k + lambda_k*M_(k+1) = r_k for the
  // second derivatives M at the interior knots, eliminated forward as
  // M_k = P_k*M_(k+1) + Q_k, with M_0 = left and M_(n-1) = right.
  std::vector<double> p(n, 0.0), q(n, 0.0), mm(n, 0.0);
  q[0] = left;
  for (size_t k = 1; k + 1 < n; ++k) {
    const double h0 = knots[k].x - knots[k - 1].x;
    const double h1 = knots[k + 1].x - knots[k].x;
    const double lambda = h1 / (h0 + h1);
    const double mu = 1.0 - lambda;
    const double r =
        6.0 * ((knots[k + 1].a - knots[k].a) / h1 - (knots[k].a - knots[k - 1].a) / h0) / (h0 + h1);
    const double pivot = mu * p[k - 1] + 2.0;
    p[k] = -lambda / pivot;
    q[k] = (r - mu * q[k - 1]) / pivot;
  }

  mm[n - 1] = right;
  for (size_t j = n - 1; j >= 1; --j) {
    mm[j - 1] = p[j - 1] * mm[j] + q[j - 1];
    const double h = knots[j].x - knots[j - 1].x;
    SplinePiece &piece = knots[j - 1];
    piece.d = (mm[j] - mm[j - 1]) / h / 6.0;
    piece.c = mm[j - 1] / 2.0;
    piece.b = (knots[j].a - piece.a) / h - (piece.c + piece.d * h) * h;
  }
  return table;
}

double EvaluateSpline(int m, const SplineTable &table, double u) {
  const std::vector<SplinePiece> &pieces = table.pieces;
  if (m < 1 || pieces.size() != static_cast<size_t>(m) + 1) {
    return std::numeric_limits<double>::quiet_NaN();
  }
  // Lower bound over knots 0 .. m-1: the first whose abscissa is not below u.
  size_t first = 0;
  size_t len = static_cast<size_t>(m);
  while (len > 0) {
    const size_t half = len / 2;
    const size_t mid = first + half;
    if (pieces[mid].x < u) {
      first = mid + 1;
      len -= half + 1;
    } else {
      len = half;
    }
  }
  const SplinePiece &s = pieces[first > 0 ? first - 1 : 0];
  const double t = u - s.x;
  return s.a + t * (s.b + t * (s.c + t * s.d));
}

}  // namespace calibration
