#include "dialogs/field_exchange.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

namespace dialogs {

namespace {

// Blanks as the C library's scanners skip them.
bool isBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool isDigit(char c) {
  return c >= '0' && c <= '9';
}

std::string_view skipBlanks(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size() && isBlank(s[i]))
    ++i;
  return s.substr(i);
}

// Length of the digit run at the start of s.
std::size_t digitRun(std::string_view s, std::size_t from = 0) {
  std::size_t i = from;
  while (i < s.size() && isDigit(s[i]))
    ++i;
  return i - from;
}

// The leading decimal number of s (sign, digits, point, exponent), empty
// when s does not start with one. Only decimal notation counts: "inf", "nan"
// and hexadecimal floats are not numbers a user types into a setpoint.
std::string_view leadingDecimal(std::string_view s) {
  std::size_t i = (!s.empty() && (s[0] == '+' || s[0] == '-')) ? 1 : 0;
  const std::size_t whole = digitRun(s, i);
  i += whole;
  std::size_t fraction = 0;
  if (i < s.size() && s[i] == '.') {
    fraction = digitRun(s, i + 1);
    if (whole + fraction > 0) i += 1 + fraction;
  }
  if (whole + fraction == 0) return {};
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    std::size_t j = i + 1;
    if (j < s.size() && (s[j] == '+' || s[j] == '-')) ++j;
    const std::size_t exponent = digitRun(s, j);
    if (exponent > 0) i = j + exponent;  // "1e" is 1 followed by the letter
  }
  return s.substr(0, i);
}

// Decimal order of magnitude of a number in leadingDecimal's form: 1 for
// 1-9.99, 0 for 0.1-0.999, 4 for 1e3; saturates far beyond any double.
long decimalOrder(std::string_view n) {
  std::size_t i = (n[0] == '+' || n[0] == '-') ? 1 : 0;
  long order = 0;
  bool significant = false;
  for (; i < n.size() && isDigit(n[i]); ++i) {
    significant = significant || n[i] != '0';
    if (significant) ++order;
  }
  if (i < n.size() && n[i] == '.') {
    for (++i; i < n.size() && isDigit(n[i]) && !significant; ++i) {
      significant = n[i] != '0';
      if (!significant) --order;
    }
    while (i < n.size() && isDigit(n[i]))
      ++i;
  }
  if (i < n.size() && (n[i] == 'e' || n[i] == 'E')) {
    ++i;
    const bool negative = n[i] == '-';
    if (n[i] == '+' || n[i] == '-') ++i;
    long exponent = 0;
    for (; i < n.size(); ++i)
      exponent = std::min(exponent * 10 + (n[i] - '0'), 1000000L);
    order += negative ? -exponent : exponent;
  }
  return order;
}

std::string toText(int v) {
  return std::to_string(v);
}

}  // namespace

std::optional<uint32_t> scanWhole(std::string_view text) {
  std::string_view s = skipBlanks(text.substr(0, kWholeTextLimit));
  bool negative = false;
  if (!s.empty() && (s[0] == '+' || s[0] == '-')) {
    negative = s[0] == '-';
    s.remove_prefix(1);
  }
  const std::size_t n = digitRun(s);
  if (n == 0) return std::nullopt;
  uint32_t value = 0;  // unsigned arithmetic wraps modulo 2^32
  for (std::size_t i = 0; i < n; ++i)
    value = value * 10u + static_cast<uint32_t>(s[i] - '0');
  return negative ? 0u - value : value;
}

std::optional<float> scanFloat(std::string_view text) {
  const std::string number(leadingDecimal(skipBlanks(text.substr(0, kFloatTextLimit))));
  if (number.empty()) return std::nullopt;
  // from_chars reads the C locale's notation whatever the process's locale;
  // it takes no '+' and reports underflow as out of range.
  const char *first = number.data() + (number[0] == '+' ? 1 : 0);
  double d = 0;
  const auto [end, ec] = std::from_chars(first, number.data() + number.size(), d);
  if (ec == std::errc::result_out_of_range) {
    // Too small for a double reads as zero; too large is no number to write.
    if (decimalOrder(number) > 0) return std::nullopt;
    d = 0.0;
  } else if (ec != std::errc() || end != number.data() + number.size()) {
    return std::nullopt;
  }
  if (!(std::fabs(d) <= std::numeric_limits<float>::max())) return std::nullopt;
  return static_cast<float>(d);
}

std::string formatFloat(double value) {
  char buf[64];
  const auto res =
      std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, kFloatDigits);
  return std::string(buf, res.ptr);
}

std::string fillMessage(std::string_view message, std::string_view first, std::string_view second) {
  std::string out;
  for (std::size_t i = 0; i < message.size(); ++i) {
    if (message[i] == '%' && i + 1 < message.size() &&
        (message[i + 1] == '1' || message[i + 1] == '2')) {
      out += message[i + 1] == '1' ? first : second;
      ++i;
    } else {
      out += message[i];
    }
  }
  return out;
}

void FieldExchange::fail(int id, std::string message) {
  failure_ = FieldFailure{id, std::move(message)};
}

void FieldExchange::field(int id, uint8_t &value, uint8_t lo, uint8_t hi) {
  if (!ok()) return;
  if (!reading()) {
    controls_.setText(id, toText(value));
    return;
  }
  const std::optional<uint32_t> n = scanWhole(controls_.text(id));
  if (!n || *n > 255u) {
    fail(id, std::string(kMsgByte));
    return;
  }
  value = static_cast<uint8_t>(*n);
  if (value < lo || value > hi) fail(id, fillMessage(kMsgIntegerRange, toText(lo), toText(hi)));
}

void FieldExchange::field(int id, uint32_t &value) {
  if (!ok()) return;
  if (!reading()) {
    controls_.setText(id, std::to_string(value));
    return;
  }
  const std::optional<uint32_t> n = scanWhole(controls_.text(id));
  if (!n) {
    fail(id, std::string(kMsgUnsigned));
    return;
  }
  value = *n;
}

bool FieldExchange::readFloat(int id, float &value) {
  const std::optional<float> f = scanFloat(controls_.text(id));
  if (!f) {
    fail(id, std::string(kMsgNumber));
    return false;
  }
  value = *f;
  return true;
}

void FieldExchange::field(int id, float &value) {
  if (!ok()) return;
  if (!reading()) {
    controls_.setText(id, formatFloat(value));
    return;
  }
  readFloat(id, value);
}

void FieldExchange::field(int id, float &value, float lo, float hi) {
  if (!ok()) return;
  if (!reading()) {
    controls_.setText(id, formatFloat(value));
    return;
  }
  if (!readFloat(id, value)) return;
  if (value < lo || value > hi) {
    fail(id, fillMessage(kMsgNumberRange, formatFloat(lo), formatFloat(hi)));
  }
}

void FieldExchange::list(int id, int &row) {
  if (!ok()) return;
  if (!reading()) {
    controls_.selectRow(id, row);
    return;
  }
  row = controls_.selectedRow(id);
}

void FieldExchange::list(int id, int &row, int lo, int hi) {
  list(id, row);
  if (ok() && reading() && (row < lo || row > hi)) {
    fail(id, fillMessage(kMsgIntegerRange, toText(lo), toText(hi)));
  }
}

}  // namespace dialogs
