// "Поиск..." (1003): the search dialog finds a sensor while the device rests.
#include "app/globals.h"
#include "app/main_window.h"
#include "resources/connect_dialog.h"
#include "search/connect_dialog.h"

namespace app {

void CSentuneDlg::searchSensor() {
  if (!theDevice) return;
  search::CConnect dialog(this);
  dialog.setWindowIcon(icon_);
  // The dialog opens and closes the ports itself, the device's among them:
  // the worker rests and the link stays closed until it ends.
  theDevice->lock();
  theDevice->close();
  if (dialog.runModal() == resources::kConnectSelect) {
    theDevice->reopen(dialog.selectedString(), dialog.address());  // also into the INI file
  } else {
    theDevice->reopen();  // the link as it was
  }
  theDevice->unlock();
}

}  // namespace app
