// CAboutDlg: the About box, dialog 100.
#pragma once

#include "ui/dialog.h"

namespace app {

class CAboutDlg : public ui::Dialog {
 public:
  explicit CAboutDlg(QWidget *parent = nullptr);

 protected:
  void onInit() override;
};

}  // namespace app
