// Dialog 100: "О программе".
#pragma once

#include "ui/template.h"

namespace resources {

inline constexpr int kAboutDialogId = 100;
inline constexpr int kAboutPicture = 1000;  // the program's icon

extern const ui::DialogTemplate kAboutDialog;

}  // namespace resources
