// Dialog 150: "Калибровка трехкомпонентного датчика".
#pragma once

#include "ui/template.h"

namespace resources {

inline constexpr int kConfig3KDialogId = 150;

// Control ids of the three-component calibration dialog.
enum Config3KControl : int {
  k3KTareY = 1040,  // tare coefficient edits
  k3KTareX = 1041,
  k3KTareZ = 1042,
  k3KFrequency = 1046,   // "Частота, Гц:"
  k3KAdcValue = 1050,    // "Uэт с АЦП:" the reference ADC's value
  k3KVoltageY = 1063,    // reference voltage edits
  k3KVelocityY = 1064,   // reference velocities as the sensor stores them
  k3KCalibrateY = 1065,  // "Калибровка"
  k3KVoltageX = 1066,
  k3KVelocityX = 1067,
  k3KCalibrateX = 1068,
  k3KVoltageZ = 1069,
  k3KVelocityZ = 1070,
  k3KCalibrateZ = 1071,
  k3KMeasuredZ = 1072,  // "Изм.знач.:" measured velocity and its error
  k3KMeasuredY = 1073,
  k3KMeasuredX = 1074,
  k3KRestart = 1075,  // "Перезагрузка"
  k3KAdcY = 1076,     // "Uэт с АЦП" of an axis
  k3KAdcX = 1078,
  k3KAdcZ = 1079,
  k3KDacCalibration = 1095,  // "Калибровка ЦАП"
};

extern const ui::DialogTemplate kConfig3KDialog;

}  // namespace resources
