// The sensor settings dialogs: exchange parameters (139), sensor number (143),
// setpoints (145) and additional settings (157).
#pragma once

#include "ui/template.h"

namespace resources {

// Dialog 139 "Сменить параметры обмена датчика".
inline constexpr int kExchangeDialogId = 139;
enum ExchangeControl : int {
  kSpeedList = 1035,    // "1200" ... "57600", the rows of speedTable
  kAddressEdit = 1036,  // Modbus address
};
extern const ui::DialogTemplate kExchangeDialog;

// Dialog 143 "Сменить номер датчика".
inline constexpr int kNumberDialogId = 143;
inline constexpr int kNumberEdit = 1040;
extern const ui::DialogTemplate kNumberDialog;

// Dialog 145 "Сменить уставки".
inline constexpr int kSetpointsDialogId = 145;
enum SetpointsControl : int {
  kWarn1Edit = 1055,
  kAlarm1Edit = 1056,
  kWarn2Edit = 1057,
  kAlarm2Edit = 1058,
  kWarn3Edit = 1059,
  kAlarm3Edit = 1060,
  kAlarmSamplesEdit = 1061,
  kMinValueEdit = 1062,
  kMaxValueEdit = 1063,
  kFullScaleEdit = 1064,  // value at maximum current; carries the tooltip
  kAveragingEdit = 1065,
  kDacMode1List = 1094,  // "4-20 мА", "0-20 мА", "0-24 мА"
  kDacMode2List = 1095,
  kSetpointLabelFirst = 2000,  // 2000-2005 beside 1055, 1056, 1057, 1058, 1059, 1060
};
extern const ui::DialogTemplate kSetpointsDialog;

// Dialog 157 "Дополнительные настройки": edits 1055-1060 in dialog order.
inline constexpr int kAdditionalDialogId = 157;
enum AdditionalControl : int {
  kAdcMinVoltageEdit = 1055,
  kAdcMaxVoltageEdit = 1056,
  kAdcOverloadDelayEdit = 1057,
  kMaxRmsStepEdit = 1058,
  kMaxSpectrumLineEdit = 1059,
  kStartFrequencyIndexEdit = 1060,
};
extern const ui::DialogTemplate kAdditionalDialog;

}  // namespace resources
