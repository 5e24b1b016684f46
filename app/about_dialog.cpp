#include "app/about_dialog.h"

#include <QLabel>

#include "resources/about_dialog.h"
#include "resources/icon.h"

namespace app {

CAboutDlg::CAboutDlg(QWidget *parent) : ui::Dialog(resources::kAboutDialog, parent) {}

void CAboutDlg::onInit() {
  if (auto *picture = control<QLabel>(resources::kAboutPicture)) {
    const int side = std::min(picture->width(), picture->height());
    picture->setPixmap(resources::appIcon().pixmap(side, side));
  }
}

}  // namespace app
