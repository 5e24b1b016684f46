// Physics of the simulated sensor.
//
// Type 1 (eddy-current gap probe): the gap voltage follows the gap through a
// saturating curve Us(g) = u0 + A (1 - exp(-g / L)). Vibration of amplitude W
// makes an AC voltage Uw = W * dUs/dg. The sensor turns Us into S through its
// stored S(Us) table times ks2, and Uw into W through its Kw(Us) table times
// kw2; a nominal curve gives the factory tables, the individual sensor's curve
// deviates a little from it, so calibration has something to correct.
//
// Type 2: each axis sees the bench velocity through its own sensitivity; the
// reading is the raw value times the axis's tare coefficient.
#ifndef QVZSIM_MODEL_H
#define QVZSIM_MODEL_H

#include <array>
#include <cstdint>
#include <span>

namespace qvzsim {

struct GapCurve {
  double u0 = 0.05;         // V at zero gap
  double amplitude = 2.45;  // V
  double length = 2.6;      // mm

  double voltage(double gapMm) const;
  double slope(double gapMm) const;  // dUs/dg, V/mm
  double gap(double voltage) const;  // inverse, clamped to 0..kMaxGap
};

inline constexpr GapCurve kNominalCurve{};
inline constexpr double kMaxGap = 10.0;         // mm, the end of the factory S table
inline constexpr double kReferenceSlope = 0.5;  // V/mm at which Kw = 1
inline constexpr float kGapTableMinUs = 0.0f, kGapTableMaxUs = 2.5f;
inline constexpr float kKwTableMinUs = 0.2f, kKwTableMaxUs = 2.4f;

// Individual deviations of one sensor from the nominal design.
struct Spread {
  GapCurve curve;
  std::array<double, 3> axisSensitivity{1.0, 1.0, 1.0};  // Z, X, Y
  std::array<double, 2> dacGain{1.0, 1.0};               // physical mA per commanded mA
  std::array<double, 2> dacOffset{0.0, 0.0};             // mA
};
Spread makeSpread(uint32_t seed);

// Factory table image: S(Us) and Kw(Us) of the nominal curve, ks2 = kw2 = 1.
std::array<float, 1536> factoryTable();

// Linear interpolation in a table of equally spaced samples from lo to hi,
// held at the end values outside; the first sample when the range is empty.
double interpolate(std::span<const float> table, double lo, double hi, double x);

// W in um from Uw in V and the table coefficient.
inline double displacement(double uw, double kw, double kw2) {
  return kw2 * kw * uw * 1000.0 / kReferenceSlope;
}

}  // namespace qvzsim

#endif
