#include "resources/icon.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <cmath>

namespace resources {

// Drawn on a 64-unit square and scaled, so every size has the same picture.
QPixmap appIconPixmap(int size) {
  QPixmap pm(size, size);
  pm.fill(Qt::transparent);
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  p.scale(size / 64.0, size / 64.0);

  // Background tile.
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0x1f, 0x4e, 0x79));
  p.drawRoundedRect(QRectF(2, 2, 60, 60), 10, 10);

  // Sensor head: a threaded body with its probe tip facing down.
  p.setBrush(QColor(0xd9, 0xdd, 0xe2));
  p.drawRect(QRectF(24, 8, 16, 18));
  p.setPen(QPen(QColor(0x8a, 0x93, 0x9c), 1.5));
  for (double y = 11; y < 26; y += 4)
    p.drawLine(QPointF(24, y), QPointF(40, y));
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0xf2, 0x9b, 0x1d));
  p.drawRect(QRectF(27, 26, 10, 5));

  // Vibration trace.
  QPainterPath wave;
  for (int i = 0; i <= 48; ++i) {
    const double x = 8 + i;
    const double y = 45 - 9 * std::sin(i * 2 * M_PI / 16.0);
    i == 0 ? wave.moveTo(x, y) : wave.lineTo(x, y);
  }
  p.setBrush(Qt::NoBrush);
  p.setPen(QPen(QColor(0x7f, 0xe0, 0x7f), 3.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.drawPath(wave);
  return pm;
}

QIcon appIcon() {
  QIcon icon;
  for (int size : {16, 24, 32, 48, 64, 128, 256})
    icon.addPixmap(appIconPixmap(size));
  return icon;
}

}  // namespace resources
