// Calibration points and the tables computed from them. They live in the
// device object so that they survive the calibration dialogs; only the
// user-interface thread touches them.
#pragma once

#include <array>

#include "register_map.h"

namespace device {

struct CalPoint {
  float ref;  // reference value; negative disables the point
  double u;   // voltage Us at which the point was taken; negative: not taken
  double y;   // ordinate of the point
};

// Entry 0 of a computed table holds this while no table is computed.
inline constexpr float kNoCurveMarker = -2.0e38f;

// A computed table counts as computed when its entry 0 is not below -1e38.
constexpr bool isComputed(float entry0) {
  return entry0 >= -1.0e38f;
}

inline constexpr int kGapPoints = 10;
inline constexpr int kKwPoints = 8;

struct CalibrationData {
  std::array<CalPoint, kGapPoints> gapPoints;  // S(Us): reference gaps from the INI file
  std::array<float, kTableSize> gapComputed;
  float gapComputedMinUs;
  float gapComputedMaxUs;
  std::array<CalPoint, kKwPoints> kwPoints;  // Kw(Us)
  std::array<float, kTableSize> kwComputed;
  float kwComputedMinUs;
  float kwComputedMaxUs;
};

// Every point disabled, no computed table, ranges zero.
void resetCalibration(CalibrationData &cal);

}  // namespace device
