#include "ui/dialog_units.h"

#include <QFontMetrics>

namespace ui {

namespace {

// a * b / c rounded half away from zero, as the platform's MulDiv rounds.
int mulDiv(int a, int b, int c) {
  const long long p = static_cast<long long>(a) * b;
  const long long q = p >= 0 ? (p + c / 2) / c : (p - c / 2) / c;
  return static_cast<int>(q);
}

}  // namespace

DialogUnits::DialogUnits(const QFont &font) {
  const QFontMetrics fm(font);
  const int alphabet =
      fm.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
  baseX_ = (alphabet / 26 + 1) / 2;
  baseY_ = fm.height();
  if (baseX_ < 1) baseX_ = 1;
  if (baseY_ < 1) baseY_ = 1;
}

int DialogUnits::toPixelsX(int units) const {
  return mulDiv(units, baseX_, 4);
}

int DialogUnits::toPixelsY(int units) const {
  return mulDiv(units, baseY_, 8);
}

QRect DialogUnits::toPixels(const Rect &r) const {
  return {toPixelsX(r.x), toPixelsY(r.y), toPixelsX(r.w), toPixelsY(r.h)};
}

QSize DialogUnits::toPixels(const Size &s) const {
  return {toPixelsX(s.w), toPixelsY(s.h)};
}

}  // namespace ui
