// Icon 128, the program's icon: a sensor head over a vibration trace, drawn
// at every size the desktop asks for.
#pragma once

#include <QIcon>

namespace resources {

inline constexpr int kIconId = 128;

QIcon appIcon();

}  // namespace resources
