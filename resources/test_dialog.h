// Dialog 156: "Тест QVZ2", the sensor's test values while it is in test mode.
#pragma once

#include "ui/template.h"

namespace resources {

inline constexpr int kTestDialogId = 156;

// Control ids of the sensor test dialog.
enum TestControl : int {
  kTestValue1 = 1099,  // register 60: gap S, or axis Z
  kTestValue2 = 1100,  // register 62: displacement W, or axis X
  kTestValue3 = 1101,  // register 64: axis Y
  kTestLabel1 = 1102,
  kTestLabel2 = 1103,
  kTestLabel3 = 1104,
};

extern const ui::DialogTemplate kTestDialog;

}  // namespace resources
