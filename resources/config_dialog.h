// Dialog 148: "Параметры калибровки", the calibration chooser of a gap and
// vibration sensor.
#pragma once

#include "ui/template.h"

namespace resources {

inline constexpr int kConfigDialogId = 148;

enum ConfigControl : int {
  kConfigCalibrateS = 1057,    // "Калибровка..." of channel S
  kConfigCalibrateW = 1058,    // "Калибровка..." of channel W
  kConfigCalibrateDac = 1095,  // "Калибровка ЦАП"
};

extern const ui::DialogTemplate kConfigDialog;

}  // namespace resources
