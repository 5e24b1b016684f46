// "Калибровка...": the calibration of a gap and vibration sensor through the
// chooser, then its tables in a coefficient file sent to the sensor, or a
// restart when a channel changed but nothing was sent.
#include <optional>

#include "app/coefficient_file.h"
#include "app/globals.h"
#include "app/main_window.h"
#include "calibration/config_chooser.h"
#include "ui/prompts.h"

namespace app {

void CSentuneDlg::calibrate() {
  if (!theDevice) return;
  const int kind = snap_.sensorKind();  // as the refresh that enabled the button saw it
  if (kind == 1) calibrateGapVibration();
  if (kind == 2) calibrateThreeAxis();  // other kinds have no calibration
}

void CSentuneDlg::calibrateGapVibration() {
  calibration::CConfig chooser(*theDevice, theAdc.get(), this);
  const bool accepted = chooser.runModal() == 1;
  bool sent = false;
  if (accepted) {
    const CoefficientFileName name = MakeCoefficientFileName();
    const std::optional<QString> chosen =
        ui::prompts().saveFile(this, coefficientFileDialog(name, true));
    if (chosen) {
      const std::string path = localPath(*chosen);
      const int written = theDevice->writeTableFile(path);
      if (written == 0) sent = sendTableFile(path);
    }
  }
  // A new table or gain that has not reached the sensor in a file: the
  // sensor restarts with what it has.
  if (!sent && (chooser.tablesChangedS() || chooser.tablesChangedW())) {
    theDevice->restartSensor();
  }
}

}  // namespace app
