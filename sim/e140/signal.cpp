#include "signal.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace e140sim {

void SignalSource::generate(const Settings &settings, uint16_t channel, double rateHz,
                            uint64_t first, int16_t *codes, size_t count) {
  const int range = (channel >> 6) & 3;
  const double codesPerVolt = kFullScaleCodes / kFullScaleVolts[range];
  const double cyclesPerSample = settings.frequency / rateHz;
  const double offsetCode = std::trunc(kOffsetCorrection[range]);
  for (size_t i = 0; i < count; ++i) {
    // The fraction of a cycle keeps the phase exact however long the module runs.
    const double cycles = static_cast<double>(first + i) * cyclesPerSample;
    const double phase = 2.0 * std::numbers::pi * (cycles - std::floor(cycles));
    double volts = settings.offset + settings.amplitude * std::sin(phase);
    if (settings.noise > 0.0) volts += settings.noise * normal_(random_);
    const double ideal = std::clamp(volts * codesPerVolt, -8192.0, 8191.0);
    const double raw = std::round(ideal / kScaleCorrection[range]) - offsetCode;
    codes[i] = static_cast<int16_t>(std::clamp(raw, -32768.0, 32767.0));
  }
}

}  // namespace e140sim
