#include "adc/e140_settings.h"

#include <charconv>
#include <climits>
#include <cmath>

#include "platform/ini.h"

namespace adc {

E140Settings readE140Settings(const std::string &iniPath) {
  constexpr std::string_view kSection = "E140";
  const E140Settings defaults;
  E140Settings s;
  s.logChan = static_cast<uint16_t>(platform::iniReadInt(iniPath, kSection, "LogChan", 0));
  s.nm = blockSamples(platform::iniReadInt(iniPath, kSection, "NM", static_cast<int>(defaults.nm)));
  s.rate = parseDecimal(platform::iniReadString(iniPath, kSection, "Rate", "30000"));
  s.k0 = static_cast<int16_t>(platform::iniReadInt(iniPath, kSection, "K0", 0));
  s.k1 = parseDecimal(platform::iniReadString(iniPath, kSection, "K1", "0.00125"));
  return s;
}

uint32_t blockSamples(int configured) {
  // Unsigned like the count it becomes: -5 rounds to 0, -100 to nearly 2^32.
  const uint32_t rounded = (static_cast<uint32_t>(configured) + 31u) & ~31u;
  if (rounded > kMaxBlockSamples) return kMaxBlockSamples;
  return rounded == 0 ? 32u : rounded;
}

int blockWaitMs(uint32_t nm, double rate) {
  const double ms = nm * 1.5 * 1000.0 / rate;
  if (!(ms >= 0.0) || ms >= static_cast<double>(INT_MAX)) return INT_MAX;
  return static_cast<int>(ms);
}

double parseDecimal(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
    ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  // Only digits and a point may start the number: from_chars would take
  // "inf" and "nan", which no setting means.
  if (i >= text.size() || !((text[i] >= '0' && text[i] <= '9') || text[i] == '.')) return 0.0;
  double value = 0.0;
  const auto [end, ec] = std::from_chars(text.data() + i, text.data() + text.size(), value,
                                         std::chars_format::general);
  if (ec == std::errc::result_out_of_range) return 0.0;
  if (ec != std::errc() || end == text.data() + i) return 0.0;
  return negative ? -value : value;
}

}  // namespace adc
