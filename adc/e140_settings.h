// The settings of the reference ADC, section "E140" of the program's INI file,
// read once when the ADC object is created and never written.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace adc {

// Room of the sample buffer; a block never holds more.
inline constexpr uint32_t kMaxBlockSamples = 32768;

struct E140Settings {
  uint16_t logChan = 0;  // channel word: channel number and, in bits 6-7, the input range
  uint32_t nm = 15008;   // samples per block, a multiple of 32 in [32, kMaxBlockSamples]
  double rate = 30000;   // sampling rate, Hz
  int16_t k0 = 0;        // offset in ADC codes added to every sample
  double k1 = 0.00125;   // volts per ADC code
};

E140Settings readE140Settings(const std::string &iniPath);

// Samples per block from the "NM" value: the next multiple of 32, kept within
// the sample buffer (and at least one multiple, so a block is never empty).
uint32_t blockSamples(int configured);

// The longest wait for one block, ms: half as long again as the block lasts at
// the configured rate, truncated; capped for rates at or below zero.
int blockWaitMs(uint32_t nm, double rate);

// The leading decimal number of text ("30000", "2.5e4", " 0.00125 V"), 0 when
// there is none; a point is the decimal separator whatever the locale.
double parseDecimal(std::string_view text);

}  // namespace adc
