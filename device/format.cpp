#include "format.h"

#include <charconv>
#include <cmath>

namespace device {

namespace {

struct StatusText {
  float code;
  const char *text;
};

// First match wins; comparisons are exact.
constexpr StatusText kStatusTexts[] = {
    {0.0f, ""},
    {-1.0f, "уровень в норме"},
    {-2.0f, "предупр.уровень"},
    {-107.0f, "аварийный уровень"},
    {-105.0f, "ниже минимума"},
    {-106.0f, "выше максимума"},
    {-103.0f, "канал замаскирован"},
};

}  // namespace

std::string formatFixed(double value, int width, int precision) {
  std::string digits;
  if (std::isnan(value)) {
    digits = std::signbit(value) ? "-nan" : "nan";
  } else {
    char buf[400];  // room for the largest double in fixed notation
    const auto res =
        std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, precision);
    digits.assign(buf, res.ptr);
  }
  if (static_cast<int>(digits.size()) < width) digits.insert(0, width - digits.size(), ' ');
  return digits;
}

std::string formatStatus(float code) {
  for (const auto &s : kStatusTexts) {
    if (code == s.code) return s.text;
  }
  return "статус=" + formatFixed(code, 8, 2);
}

std::string formatValueOrOff(float value) {
  if (value < 0.0f) return "выкл";
  return formatFixed(value, 8, 2);
}

}  // namespace device
