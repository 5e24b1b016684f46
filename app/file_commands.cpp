// Coefficient files and uploads: "Прочитать..." saves the sensor's tables
// (computed ones in their place) to a coefficient file, "Записать..." sends
// a coefficient file to the sensor as "table.bin", "Перешить..." sends any
// file as "file.bin". Each outcome shows in the last-error line.
#include <optional>

#include "app/coefficient_file.h"
#include "app/globals.h"
#include "app/main_window.h"
#include "device/table_file.h"
#include "ui/prompts.h"

namespace app {

void CSentuneDlg::readTables() {
  if (!theDevice) return;
  const std::optional<QString> chosen =
      ui::prompts().saveFile(this, coefficientFileDialog(MakeCoefficientFileName(), true));
  if (!chosen) return;
  theDevice->writeTableFile(localPath(*chosen));
}

void CSentuneDlg::writeTables() {
  if (!theDevice) return;
  const std::optional<QString> chosen =
      ui::prompts().openFile(this, coefficientFileDialog(MakeCoefficientFileName(), false));
  if (chosen) sendTableFile(localPath(*chosen));
}

void CSentuneDlg::uploadFile() {
  if (!theDevice) return;
  ui::FileDialogOptions any;
  any.title = QStringLiteral("Открыть");
  const std::optional<QString> chosen = ui::prompts().openFile(this, any);
  if (!chosen) return;
  theDevice->sendFile("file.bin", localPath(*chosen), this);
}

bool CSentuneDlg::sendTableFile(const std::string &path) {
  const bool sent = theDevice->sendFile(device::kTableFileName, path, this);
  if (sent) {
    // The sensor now holds the file's tables: nothing computed is pending.
    device::CalibrationData &cal = theDevice->calibration();
    cal.gapComputed[0] = device::kNoCurveMarker;
    cal.kwComputed[0] = device::kNoCurveMarker;
  }
  return sent;
}

}  // namespace app
