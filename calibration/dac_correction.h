// The arithmetic of the current-output calibration: the nominal span of an
// output mode, and the gain and offset that map the span an ammeter measured
// onto it. Float32 throughout, as the sensor keeps them.
#pragma once

namespace calibration {

// Readings an ammeter may give, mA, both included.
inline constexpr float kMinReadingMa = 0.0f;
inline constexpr float kMaxReadingMa = 30.0f;

constexpr bool isValidReading(float ma) {
  return ma >= kMinReadingMa && ma <= kMaxReadingMa;  // false for NaN
}

struct CurrentSpan {
  float lo, hi;  // mA
};

// Mode as the sensor holds it (a float): 0 "4-20 мА", 1 "0-20 мА", 2 "0-24 мА";
// any other value counts as 4-20 mA.
CurrentSpan nominalSpan(float mode);

struct DacCorrection {
  float gain, offset;
};

// The output driven to its minimum read `measuredMin` mA, driven to its
// maximum `measuredMax` mA: gain = (hi - lo) / (max - min), offset =
// (lo - min) / (max - min). Equal readings count as a span of hi - lo (gain 1).
DacCorrection dacCorrection(float mode, float measuredMin, float measuredMax);

// False when readings a hair apart made the gain or offset overflow: such a
// correction must not reach the sensor.
bool isFinite(const DacCorrection &k);

}  // namespace calibration
