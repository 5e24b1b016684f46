// Dialog 138: the main window "Тестирование и настройка датчиков QVZ".
#pragma once

#include "ui/template.h"

namespace resources {

inline constexpr int kMainDialogId = 138;

// Control ids of the main window.
enum MainControl : int {
  kExit = 2,
  kSearch = 1003,           // "Поиск..."
  kChangeExchange = 1004,   // "Сменить..." of the link
  kResetLimits = 1005,      // "Сброс границ"
  kChangeNumber = 1006,     // "Сменить..." of the number
  kResetStatistics = 1007,  // "Сброс"
  kCalibrate = 1008,        // "Калибровка..."
  kUpload = 1009,           // "Перешить..."
  kReadTables = 1010,       // "Прочитать..."
  kWriteTables = 1011,      // "Записать..."
  kSetpoints = 1012,        // "Уставки..."
  kPortBox = 1034,
  kSpeedBox = 1035,
  kAddressBox = 1036,
  kValueY = 1037,
  kValueSZ = 1038,
  kValueWX = 1039,
  kNumberBox = 1040,
  kLastError = 1041,
  kFirmwareBox = 1042,
  kMinY = 1044,
  kMaxY = 1045,
  kMinSZ = 1046,
  kGoodReplies = 1047,
  kBadAttempts = 1048,
  kAdcStatus = 1049,
  kAdcValue = 1050,
  kLabelY = 1051,
  kMaxSZ = 1052,
  kLabelSZ = 1053,
  kMinWX = 1054,
  kMaxWX = 1055,
  kLabelWX = 1056,
  kSetpointBox0 = 1057,  // 1057-1062: warn1, alarm1, warn2, alarm2, warn3, alarm3
  kAuxS = 1064,
  kAuxAlarm = 1065,
  kStatusSZ = 1066,
  kStatusWX = 1067,
  kStatusY = 1068,
  kAlarmSamples = 1069,
  kMinValue = 1070,
  kMaxValue = 1071,
  kAuxW = 1072,
  kTestSignal = 1073,      // "тестовый сигнал"
  kFlagY = 1074,           // channelFlags bit 1
  kFlagSZ = 1075,          // channelFlags bit 2
  kFlagWX = 1076,          // channelFlags bit 0
  kTest = 1097,            // "Тест"
  kAdditional = 1105,      // "Доп. настр."
  kSetpointLabel0 = 2000,  // 2000-2005
};

extern const ui::DialogTemplate kMainDialog;

}  // namespace resources
