#include "calibration/channel_rules.h"

#include <cmath>

namespace calibration {

namespace {

bool isGain(float k) {
  return k > 0.0f && std::isfinite(k);
}

}  // namespace

double referenceDisplacement(float u, float f) {
  const float scaled = u * 10.0f;
  const double omega = 2.0 * kReferencePi * f;
  return double{scaled} * 1000000.0 / (omega * omega);
}

std::optional<float> gapErrorPercent(float value, float ref) {
  if (!(ref > 0.0f)) return std::nullopt;
  return (value - ref) * 100.0f / ref;
}

std::optional<double> displacementErrorPercent(float value, double ref) {
  if (!(ref > 0.0)) return std::nullopt;
  return (value - ref) * 100.0 / ref;
}

std::optional<float> correctedGain(float k, float truth, float reading) {
  if (reading == 0.0f) return std::nullopt;
  const float corrected = k * truth / reading;
  if (!isGain(corrected)) return std::nullopt;
  return corrected;
}

std::optional<float> kw2FromReference(float kw2, double d, float w) {
  if (!(d > 0.0) || w == 0.0f) return std::nullopt;
  const auto corrected = static_cast<float>(kw2 * d / w);
  if (!isGain(corrected)) return std::nullopt;
  return corrected;
}

std::optional<double> kwPointCoefficient(float storedKw, double d, float w) {
  if (!(d > 0.0)) return std::nullopt;
  if (w == 0.0f) return 1.0;
  return storedKw * d / w;
}

}  // namespace calibration
