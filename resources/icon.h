// Icon 128, the program's icon: a sensor head over a vibration trace, drawn
// at every size the desktop asks for.
#pragma once

#include <QIcon>
#include <QPixmap>

namespace resources {

inline constexpr int kIconId = 128;

QIcon appIcon();

// The icon drawn at size x size pixels (the installed icon files come from it).
QPixmap appIconPixmap(int size);

}  // namespace resources
