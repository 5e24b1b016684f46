// The tip on the setpoints dialog's field "value at maximum current": five
// lines that pair measured values from 0 to that value with the output
// current each gives, over the current range of the DAC mode.
#pragma once

#include <string>
#include <string_view>

namespace dialogs {

// Output current range of a DAC mode, in mA.
struct CurrentRange {
  float lo, hi;
};

// Mode 0 is 4-20 mA, 1 is 0-20 mA, 2 is 0-24 mA; any other 4-20 mA.
CurrentRange currentRange(int mode);

// The list row of a DAC mode that the sensor keeps as a float: truncated
// towards zero; -1 (no row) when it has no integer value (NaN, huge).
int dacModeRow(float mode);

// The tip's widest possible line: its width in the tip's font is the tip's
// maximum width, so that the tip breaks only at its line ends.
inline constexpr std::string_view kTipWidthReference = "S9999.99 мм/с соответствует S999.99 мА";

// The five lines, joined by CR LF, for sensor kind 1 (mm) or 2 and 3 (mm/s),
// computed in single precision: 0, v/4, v/2, 3v/4 and v against lo, the
// quarters of the range and hi. Empty for any other kind.
std::string setpointTip(int kind, CurrentRange range, float v);

}  // namespace dialogs
