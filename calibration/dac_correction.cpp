#include "calibration/dac_correction.h"

#include <cmath>

namespace calibration {

CurrentSpan nominalSpan(float mode) {
  if (mode == 1.0f) return {0.0f, 20.0f};
  if (mode == 2.0f) return {0.0f, 24.0f};
  return {4.0f, 20.0f};
}

DacCorrection dacCorrection(float mode, float measuredMin, float measuredMax) {
  const CurrentSpan nominal = nominalSpan(mode);
  float span = measuredMax - measuredMin;
  if (span == 0.0f) span = nominal.hi - nominal.lo;
  return {(nominal.hi - nominal.lo) / span, (nominal.lo - measuredMin) / span};
}

bool isFinite(const DacCorrection &k) {
  return std::isfinite(k.gain) && std::isfinite(k.offset);
}

}  // namespace calibration
