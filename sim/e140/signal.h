// The analogue side of the simulated module: the reference signal sampled
// into ADC codes the way the module's converter delivers them, imperfections
// included, so that only the corrections in the module description make the
// codes exact.
#pragma once

#include <cstddef>
#include <cstdint>
#include <random>

#include "settings.h"

namespace e140sim {

inline constexpr int kRanges = 4;
// Full-scale volts of the four input ranges; full scale is 8000 codes and the
// 14-bit converter limits at -8192 and 8191.
inline constexpr double kFullScaleVolts[kRanges] = {10.0, 2.5, 0.625, 0.15625};
inline constexpr double kFullScaleCodes = 8000.0;
// This module's correction pair per range: (code + offset) * scale is exact.
inline constexpr double kOffsetCorrection[kRanges] = {-3.6, 5.2, -1.4, 2.9};
inline constexpr double kScaleCorrection[kRanges] = {1.025, 0.981, 1.012, 0.993};

class SignalSource {
 public:
  explicit SignalSource(uint64_t seed) : random_(seed) {}

  // Codes of samples first .. first+count-1 of the acquisition at rateHz on
  // the range chosen by bits 6-7 of channel.
  void generate(const Settings &settings, uint16_t channel, double rateHz, uint64_t first,
                int16_t *codes, size_t count);

 private:
  std::mt19937_64 random_;
  std::normal_distribution<double> normal_;
};

}  // namespace e140sim
