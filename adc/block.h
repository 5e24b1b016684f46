// Processing of one block of ADC samples into the reference value.
#pragma once

#include <cstdint>
#include <span>

namespace adc {

struct BlockResult {
  double reference;    // RMS of the alternating part over the window, volts
  int32_t pointsUsed;  // samples in the window
};

// Adds offset (ADC codes) to every sample in place, with 16-bit wrap-around,
// and finds the rising zero crossings (a negative sample followed by one that
// is not). The window runs from the first crossing to the last, a whole number
// of periods of the signal; with fewer than two crossings it is the whole
// block. The result is the standard deviation of the window's samples times
// voltsPerCode. samples must not be empty.
BlockResult processBlock(std::span<int16_t> samples, int32_t offset, double voltsPerCode);

}  // namespace adc
