// Dialog units: the coordinates of a template. One horizontal unit is a quarter
// of the dialog font's average character width, one vertical unit an eighth of
// its character height, so a template keeps its texts inside their controls
// whatever font the system substitutes for the one it names.
#pragma once

#include <QFont>
#include <QRect>
#include <QSize>

#include "ui/template.h"

namespace ui {

class DialogUnits {
 public:
  // Base units measured the way the original platform measures them: the
  // average width of the 52 Latin letters, rounded, and the font's height.
  explicit DialogUnits(const QFont &font);
  DialogUnits(int avgCharWidth, int charHeight) : baseX_(avgCharWidth), baseY_(charHeight) {}

  int baseX() const { return baseX_; }
  int baseY() const { return baseY_; }

  int toPixelsX(int units) const;
  int toPixelsY(int units) const;
  QRect toPixels(const Rect &r) const;
  QSize toPixels(const Size &s) const;

 private:
  int baseX_;
  int baseY_;
};

}  // namespace ui
