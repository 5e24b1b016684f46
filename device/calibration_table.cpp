// The calibration operations of TQVZ2: points, computed tables and the lookup
// in the stored Kw table. They run on the user-interface thread and touch
// only memory; the stored tables and the live gap come from the published
// record.
#include <cmath>
#include <limits>
#include <span>

#include "calibration/spline.h"
#include "qvz2.h"

namespace device {

namespace {

constexpr double kLowerLimit = 0.0;
constexpr double kGapUpperLimit = 6.0;  // mm
constexpr double kKwUpperLimit = 1000.0;
constexpr float kFlatMinUs = 0.0f;  // range of the table of a single point, V
constexpr float kFlatMaxUs = 2.5f;

static_assert(kKwPoints <= kGapPoints);

bool isValid(const CalPoint &p) {
  return p.ref >= 0.0f && p.u >= 0.0;
}

// Finite and representable as a float32, as every stored voltage and sample is.
bool isFiniteFloat(double v) {
  return std::isfinite(v) && std::fabs(v) <= std::numeric_limits<float>::max();
}

struct SetView {
  std::span<CalPoint> points;
  std::array<float, kTableSize> &samples;
  float &minUs;
  float &maxUs;
  double upperLimit;
};

SetView viewOf(CalibrationData &cal, bool kw) {
  if (kw)
    return {cal.kwPoints, cal.kwComputed, cal.kwComputedMinUs, cal.kwComputedMaxUs, kKwUpperLimit};
  return {cal.gapPoints, cal.gapComputed, cal.gapComputedMinUs, cal.gapComputedMaxUs,
          kGapUpperLimit};
}

}  // namespace

bool TQVZ2::setCalPoint(int index, double u, bool kw, double y) {
  SetView set = viewOf(cal_, kw);
  if (index < 0 || static_cast<size_t>(index) >= set.points.size()) return false;

  CalPoint next = set.points[static_cast<size_t>(index)];
  next.u = u;
  if (kw) {
    float gap;
    {
      std::lock_guard<std::mutex> guard(snapMutex_);
      gap = published_.inputs.valueSZ;
    }
    next.ref = u >= 0.0 ? gap : -1.0f;
    next.y = y;
  } else {
    next.y = next.ref;
  }

  if (isValid(next)) {
    if (!isFiniteFloat(next.u) || !isFiniteFloat(next.y)) return false;
    for (size_t j = 0; j < set.points.size(); ++j) {
      if (j != static_cast<size_t>(index) && isValid(set.points[j]) && set.points[j].u == next.u) {
        return false;
      }
    }
  }
  set.points[static_cast<size_t>(index)] = next;
  buildTable(kw);
  return true;
}

void TQVZ2::buildTable(bool kw) {
  SetView set = viewOf(cal_, kw);
  std::array<double, kGapPoints> x{};
  std::array<double, kGapPoints> y{};
  size_t k = 0;
  for (const CalPoint &p : set.points) {
    if (!isValid(p)) continue;
    x[k] = p.u;
    y[k] = p.y;
    ++k;
  }

  if (k >= 2) {
    const int m = static_cast<int>(k) - 1;
    const calibration::SplineTable table =
        calibration::BuildCubicSpline(m, std::span(x.data(), k), std::span(y.data(), k), 0.0, 0.0);
    // The range is kept in float32, compared with the knots in float64.
    float lo = static_cast<float>(x[0]);
    float hi = lo;
    for (size_t j = 1; j < k; ++j) {
      if (lo > x[j]) lo = static_cast<float>(x[j]);
      if (x[j] > hi) hi = static_cast<float>(x[j]);
    }
    const double step = (hi - lo) / static_cast<float>(kTableSize - 1);
    for (int i = 0; i < kTableSize; ++i) {
      double v = calibration::EvaluateSpline(m, table, lo + i * step);
      if (v < kLowerLimit) {
        v = kLowerLimit;
      } else if (v > set.upperLimit) {
        v = set.upperLimit;
      }
      set.samples[static_cast<size_t>(i)] = static_cast<float>(v);
    }
    set.minUs = lo;
    set.maxUs = hi;
  } else if (k == 1) {
    set.minUs = kFlatMinUs;
    set.maxUs = kFlatMaxUs;
    set.samples.fill(static_cast<float>(y[0]));
  } else {
    set.samples[0] = kNoCurveMarker;
  }
}

float TQVZ2::lookupKw(float u) const {
  std::lock_guard<std::mutex> guard(snapMutex_);
  const std::array<float, kTableSize> &table = published_.tables.kwTable;
  const float lo = published_.tables.tableTail.kwTableMinUs;
  const float hi = published_.tables.tableTail.kwTableMaxUs;
  float v = table[0];
  if (u >= hi) {
    v = table[kTableSize - 1];
  } else if (u >= lo && hi > u && hi > lo) {
    // The index scale is 750 per range, rounded to the nearest sample.
    const float scaled = (u - lo) * static_cast<float>(kTableSize) / (hi - lo);
    const double position = scaled + 0.5;
    const int last = kTableSize - 1;
    const int idx = position < last ? static_cast<int>(position) : last;
    v = table[static_cast<size_t>(idx)];
  }
  return v > 0.0f ? v : 1.0f;
}

}  // namespace device
