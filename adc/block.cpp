#include "adc/block.h"

#include <cmath>
#include <cstddef>

namespace adc {

BlockResult processBlock(std::span<int16_t> samples, int32_t offset, double voltsPerCode) {
  const auto shift = static_cast<uint16_t>(offset);
  size_t start = 0;
  size_t end = 0;
  size_t crossings = 0;
  int16_t previous = 0;
  for (size_t i = 0; i < samples.size(); ++i) {
    const auto s = static_cast<int16_t>(static_cast<uint16_t>(samples[i]) + shift);
    samples[i] = s;
    if (i > 0 && previous < 0 && s >= 0) {
      if (crossings++ == 0) {
        start = i;
      } else {
        end = i;
      }
    }
    previous = s;
  }
  if (crossings < 2) {
    start = 0;
    end = samples.size();
  }

  // Integer sums are exact (n * sum of squares stays below 2^61 for 32768
  // samples), so n*Σs² − (Σs)² is never negative and a constant gives 0 exactly.
  int64_t sum = 0;
  int64_t sumSquares = 0;
  for (size_t i = start; i < end; ++i) {
    const int64_t s = samples[i];
    sum += s;
    sumSquares += s * s;
  }
  const auto n = static_cast<int64_t>(end - start);
  const int64_t spread = n * sumSquares - sum * sum;
  const double deviation = std::sqrt(static_cast<double>(spread)) / static_cast<double>(n);
  return {deviation * std::fabs(voltsPerCode), static_cast<int32_t>(n)};
}

}  // namespace adc
