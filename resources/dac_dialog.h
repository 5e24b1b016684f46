// Dialog 153: "Калибровка ЦАП", the calibration of a current output against
// an ammeter. Two groups of the same controls; only "Канал 2" works, the
// controls of "Канал 1" are disabled.
#pragma once

#include "ui/template.h"

namespace resources {

inline constexpr int kDacDialogId = 153;

enum DacControl : int {
  kDacExit = 2,     // "Выход"
  kDac1Min = 1083,  // "Подать на ЦАП минимальное значение", channel 1
  kDac1Max = 1084,  // "Подать на ЦАП максимальное значение", channel 1
  kDac1OutMin = 1085,  // measured minimum of output 1, mA
  kDac1OutMax = 1086,  // measured maximum of output 1, mA
  kDac2Min = 1087,
  kDac2Max = 1088,
  kDac2OutMin = 1089,  // measured minimum of output 2, mA
  kDac2OutMax = 1090,  // measured maximum of output 2, mA
  kDac1Calibrate = 1091,
  kDac2Calibrate = 1093,  // "Калибровка"
  kDac1Cancel = 1092,
  kDac2Cancel = 1094,  // "Отмена": the output back to normal operation
};

// Shown when a reading is not a number from 0 to 30 mA.
inline constexpr const char *kDacBadReadings = "Ошибка! Введите корректные значения.";

extern const ui::DialogTemplate kDacDialog;

}  // namespace resources
