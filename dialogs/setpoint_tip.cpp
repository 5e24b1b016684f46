#include "dialogs/setpoint_tip.h"

#include <cmath>

#include "device/format.h"

namespace dialogs {

CurrentRange currentRange(int mode) {
  switch (mode) {
    case 1:
      return {0.0f, 20.0f};
    case 2:
      return {0.0f, 24.0f};
    default:
      return {4.0f, 20.0f};
  }
}

int dacModeRow(float mode) {
  // Within (-2^31, 2^31) the truncation is defined; NaN fails both tests.
  if (!(mode > -2147483648.0f && mode < 2147483648.0f)) return -1;
  return static_cast<int>(mode);
}

std::string setpointTip(int kind, CurrentRange range, float v) {
  std::string_view unit;
  if (kind == 1) {
    unit = "мм";
  } else if (kind == 2 || kind == 3) {
    unit = "мм/с";
  } else {
    return {};
  }
  const float lo = range.lo;
  const float span = range.hi - range.lo;
  const float values[5] = {0.0f, v / 4.0f, v / 2.0f, 3.0f * v / 4.0f, v};
  const float currents[5] = {lo, lo + span / 4.0f, lo + span / 2.0f, lo + 3.0f * span / 4.0f,
                             range.hi};
  std::string tip;
  for (int i = 0; i < 5; ++i) {
    if (i > 0) tip += "\r\n";
    // "%3.2f <unit> соответствует %3.2f мА"
    tip += device::formatFixed(values[i], 3, 2);
    tip += ' ';
    tip += unit;
    tip += " соответствует ";
    tip += device::formatFixed(currents[i], 3, 2);
    tip += " мА";
  }
  return tip;
}

}  // namespace dialogs
