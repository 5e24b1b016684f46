// Painting of the main window: minimised, it shows the application icon
// centred in its client area; otherwise the dialog paints itself.
#include <QPainter>
#include <QStyle>

#include "app/main_window.h"

namespace app {

void CSentuneDlg::paintEvent(QPaintEvent *event) {
  if (!isMinimized()) {
    ui::Dialog::paintEvent(event);
    return;
  }
  const int side = style()->pixelMetric(QStyle::PM_LargeIconSize, nullptr, this);
  QRect place(0, 0, side, side);
  place.moveCenter(rect().center());
  QPainter painter(this);
  icon_.paint(&painter, place);
}

}  // namespace app
