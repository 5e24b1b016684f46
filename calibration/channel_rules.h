// The arithmetic of the channel S and W calibration dialogs and of the
// calibration chooser, apart from their widgets.
#pragma once

#include <optional>

namespace calibration {

// pi as the reference displacement takes it.
inline constexpr double kReferencePi = 3.141592625;

// Reference vibration displacement D in um from the reference signal's RMS
// voltage u and the vibration frequency f in Hz: (u * 10, in float32) *
// 1e6 / (2 pi f)^2 in float64. 1.0 V at 160 Hz gives 9.894 um.
double referenceDisplacement(float u, float f);

// Relative error of a reading against a reference, in %: (value - ref) * 100
// / ref, for a positive reference only. Channel S in float32, W in float64.
std::optional<float> gapErrorPercent(float value, float ref);
std::optional<double> displacementErrorPercent(float value, double ref);

// A gain corrected so that `reading` would have read `truth`: k * truth /
// reading in float32 (ks2 from a typed gap, kw2 from a typed displacement).
// Nothing for a reading of 0, and nothing unless the result is a positive,
// finite gain: a zero or negative gain would silence the channel for good.
std::optional<float> correctedGain(float k, float truth, float reading);

// kw2 recomputed from the reference displacement d and the reading w, in
// float64, written as float32; nothing unless d > 0, w != 0 and the result
// is a positive, finite gain.
std::optional<float> kw2FromReference(float kw2, double d, float w);

// The coefficient of a Kw point taken at a voltage whose stored Kw is
// `storedKw`, while W reads w against the reference displacement d:
// storedKw * d / w in float64, 1.0 when w = 0. Nothing without a positive
// reference: a point needs a displacement to be calibrated against.
std::optional<double> kwPointCoefficient(float storedKw, double d, float w);

// The chooser's change flag of a channel after its dialog closed: set when
// it closed with OK while its set has a computed table, or when it wrote its
// gain coefficient; a flag once set stays set.
constexpr bool channelChanged(bool changed, bool accepted, bool tableComputed,
                              bool coefficientWritten) {
  return changed || (accepted && tableComputed) || coefficientWritten;
}

}  // namespace calibration
