#include "calibration/three_axis.h"

#include <cstdio>

namespace calibration {

float velocityFactor(float frequencyHz) {
  return 10.0f * 160.0f / frequencyHz;
}

std::string measuredText(float measured, float reference) {
  char text[128];  // room for two of the widest floats
  if (reference > 0.0f) {
    const float error = (measured - reference) * 100.0f / reference;
    std::snprintf(text, sizeof text, "%6.2f  [%.1f%%]", static_cast<double>(measured),
                  static_cast<double>(error));
  } else {
    std::snprintf(text, sizeof text, "%6.2f", static_cast<double>(measured));
  }
  return text;
}

AxisState axisState(const device::ConfigBlock &config, const device::InputBlock &inputs, Axis a) {
  switch (a) {
    case Axis::Z:
      return {config.refZ, config.coefZ, inputs.valueSZ};
    case Axis::X:
      return {config.refX, config.coefX, inputs.valueWX};
    case Axis::Y:
      break;
  }
  return {config.refY, config.coefY, inputs.valueY};
}

}  // namespace calibration
