// Main-window commands of a three-component sensor's calibration (1008 for
// kind 2) and of the sensor test (1097). Both run their dialog and do nothing
// afterwards: the dialogs talk to the sensor themselves while they are open.
#include "app/globals.h"
#include "app/main_window.h"
#include "calibration/config3k.h"
#include "calibration/test_dialog.h"

namespace app {

void CSentuneDlg::calibrateThreeAxis() {
  if (!theDevice) return;
  calibration::CConfig3K dialog(*theDevice, theAdc.get(), this);
  dialog.setWindowIcon(icon_);
  dialog.runModal();
}

void CSentuneDlg::testSensor() {
  if (!theDevice) return;
  calibration::CTestDlg dialog(*theDevice, this);
  dialog.setWindowIcon(icon_);
  dialog.runModal();
}

}  // namespace app
