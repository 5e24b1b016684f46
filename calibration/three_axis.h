// The arithmetic of the three-component calibration, apart from its dialog.
//
// A reference vibration signal of U volts at f Hz stands for a velocity of
// k * U mm/s with k = 1600 / f; the sensor stores velocities, the dialog shows
// voltages. All in float32, as the sensor keeps them.
#pragma once

#include <array>
#include <string>

#include "device/register_map.h"

namespace calibration {

// Velocity per volt of the reference signal at frequency f Hz: 10 * 160 / f.
float velocityFactor(float frequencyHz);

// The measured velocity, right-aligned in six characters with two decimals,
// and its error against the reference in percent: "  5.10  [2.0%]". The
// error needs a positive reference; without one the velocity stands alone.
std::string measuredText(float measured, float reference);

// The three axes in the order the dialog writes their pending entries: Y, X, Z.
enum class Axis : int { Z = 0, X = 1, Y = 2 };
inline constexpr std::array<Axis, 3> kWriteOrder{Axis::Y, Axis::X, Axis::Z};

// writeAxisValue's index of an axis's reference velocity and tare coefficient.
constexpr int referenceIndex(Axis a) {
  return 2 * static_cast<int>(a);
}
constexpr int tareIndex(Axis a) {
  return 2 * static_cast<int>(a) + 1;
}

// What the sensor keeps and measures for one axis.
struct AxisState {
  float reference;  // mm/s
  float tare;
  float measured;  // mm/s
};
AxisState axisState(const device::ConfigBlock &config, const device::InputBlock &inputs, Axis a);

}  // namespace calibration
