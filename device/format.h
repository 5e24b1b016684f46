// Texts of the main window for status codes and auxiliary values (UTF-8).
// Numbers always use a decimal point, whatever the locale.
#pragma once

#include <string>

namespace device {

// Text of a channel status code (statusSZ, statusWX, statusY).
std::string formatStatus(float code);

// Text of an auxiliary value (auxS, auxAlarm, auxW): "выкл" below zero.
std::string formatValueOrOff(float value);

// The value with `precision` decimals, right-aligned in `width` characters,
// as printf's "%<width>.<precision>f" in the C locale.
std::string formatFixed(double value, int width, int precision);

}  // namespace device
