#include "model.h"

#include <algorithm>
#include <cmath>
#include <random>

#include "register_map.h"

namespace qvzsim {

double GapCurve::voltage(double gapMm) const {
  return u0 + amplitude * (1.0 - std::exp(-std::max(gapMm, 0.0) / length));
}

double GapCurve::slope(double gapMm) const {
  return amplitude / length * std::exp(-std::max(gapMm, 0.0) / length);
}

double GapCurve::gap(double v) const {
  const double rest = 1.0 - (v - u0) / amplitude;
  if (rest <= std::exp(-kMaxGap / length)) return kMaxGap;
  return std::clamp(-length * std::log(rest), 0.0, kMaxGap);
}

Spread makeSpread(uint32_t seed) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> unit(-1.0, 1.0);
  // Small deviations either way: a fresh sensor reads within a few percent in
  // its working range, and calibration has something to correct.
  auto dev = [&](double lo, double hi) {
    const double u = unit(rng);
    return (u < 0 ? -1.0 : 1.0) * (lo + (hi - lo) * std::abs(u));
  };
  Spread s;
  s.curve.amplitude = kNominalCurve.amplitude * (1.0 + dev(0.004, 0.012));
  s.curve.length = kNominalCurve.length * (1.0 + dev(0.004, 0.012));
  for (auto &a : s.axisSensitivity)
    a = 1.0 + dev(0.01, 0.04);
  for (auto &g : s.dacGain)
    g = 1.0 + dev(0.005, 0.02);
  for (auto &o : s.dacOffset)
    o = dev(0.02, 0.15);
  return s;
}

std::array<float, 1536> factoryTable() {
  std::array<float, 1536> t{};
  const int n = regs::kTableSamples;
  for (int i = 0; i < n; ++i) {
    const double us = kGapTableMinUs + i * double(kGapTableMaxUs - kGapTableMinUs) / (n - 1);
    t[regs::kGapTable + i] = static_cast<float>(kNominalCurve.gap(us));
    const double uk = kKwTableMinUs + i * double(kKwTableMaxUs - kKwTableMinUs) / (n - 1);
    t[regs::kKwTable + i] =
        static_cast<float>(kReferenceSlope / kNominalCurve.slope(kNominalCurve.gap(uk)));
  }
  t[regs::kTail] = 1.0f;  // table format
  t[regs::kKs2] = 1.0f;
  t[regs::kKw2] = 1.0f;
  t[regs::kGapMinUs] = kGapTableMinUs;
  t[regs::kGapMaxUs] = kGapTableMaxUs;
  t[regs::kKwMinUs] = kKwTableMinUs;
  t[regs::kKwMaxUs] = kKwTableMaxUs;
  return t;
}

double interpolate(std::span<const float> table, double lo, double hi, double x) {
  if (table.empty()) return 0.0;
  const size_t last = table.size() - 1;
  if (!(hi > lo) || !std::isfinite(x)) return table[0];
  const double pos = std::clamp((x - lo) / (hi - lo) * double(last), 0.0, double(last));
  const size_t i = std::min(static_cast<size_t>(pos), last);
  if (i == last) return table[last];
  const double f = pos - double(i);
  return table[i] + f * (double(table[i + 1]) - double(table[i]));
}

}  // namespace qvzsim
