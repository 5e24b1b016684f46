// The string table of sentune: texts that code loads by id.
#pragma once

#include <QString>

namespace resources {

// String ids used by the main window, the search and the setpoints dialog.
enum StringId : int {
  kStrAbout = 101,           // "&О программе..."
  kStrBlank = 102,           // " ": a label without a channel
  kStrSearch = 215,          // "Поиск": the search dialog's start button
  kStrStop = 216,            // "Стоп": the same button while a search runs
  kStrNotFound = 217,        // "Контроллер не найден"
  kStrSearchDisplay = 218,   // a combination as the search shows it
  kStrIdFormat = 219,        // the identification string "rk.dll,COM,baud,poll,time-out"
  kStrSetpointName1 = 1000,  // 1000-1005: setpoints dialog labels, gap and vibration sensor
  kStrSetpointName2 = 1010,  // 1010-1015: setpoints dialog labels, three-component sensor
  kStrSetpointKind1 = 1020,  // 1020-1025: setpoint labels of a gap and vibration sensor
  kStrSetpointKind2 = 1030,  // 1030-1035: setpoint labels of a three-component sensor
  kStrRowS = 1040,
  kStrRowZ = 1041,
  kStrRowW = 1042,
  kStrRowX = 1043,
  kStrRowNone = 1044,
  kStrRowY = 1045,
};

// The text of string id, empty when the table has no such string.
QString loadString(int id);

}  // namespace resources
