#include "calibration/config_dac.h"

#include <algorithm>

#include "calibration/dac_correction.h"
#include "dialogs/numeric_entry.h"
#include "resources/dac_dialog.h"
#include "ui/prompts.h"

namespace calibration {

namespace {

using namespace resources;

constexpr int kReadingEdits[] = {kDac1OutMin, kDac1OutMax, kDac2OutMin, kDac2OutMax};

}  // namespace

CConfigDAC::CConfigDAC(device::TQVZ2 &dev, QWidget *parent)
    : ui::Dialog(kDacDialog, parent), dev_(dev) {
  const device::ConfigBlock config = dev_.snapshot().config;
  readings_ = {4.0f, 20.0f, config.dac2OutMin, config.dac2OutMax};
}

void CConfigDAC::onInit() {
  showReadings();
}

void CConfigDAC::onCommand(int id, ui::Notification n) {
  if (n != ui::Notification::Clicked) return;
  switch (id) {
    case kDac2Min:
      dev_.dacOutputMin();
      break;
    case kDac2Max:
      dev_.dacOutputMax();
      break;
    case kDac2Calibrate:
      calibrate();
      break;
    case kDac2Cancel:
      dev_.dacOutputNormal();
      break;
    case kDacExit:
      endDialog(kDacExit);
      break;
    default:
      // Enter without a focused button sends 1: the dialog has no such
      // button, and a reading typed and entered must not close it.
      break;
  }
}

bool CConfigDAC::readEdits() {
  bool numbers = true;
  for (std::size_t i = 0; i < readings_.size(); ++i) {
    const QString text = itemText(kReadingEdits[i]);
    float x = 0.0f;
    // An empty edit is no reading, not 0 mA.
    if (!text.isEmpty() && dialogs::parseWholeNumber(text, x)) {
      readings_[i] = x;
    } else {
      numbers = false;
    }
  }
  return numbers;
}

void CConfigDAC::showReadings() {
  for (std::size_t i = 0; i < readings_.size(); ++i)
    setItemText(kReadingEdits[i], dialogs::formatValue("%g", readings_[i]));
}

void CConfigDAC::calibrate() {
  const bool numbers = readEdits();
  const float a = readings_[2], b = readings_[3];
  const device::ConfigBlock c = dev_.snapshot().config;
  const DacCorrection k = dacCorrection(c.dacMode2, a, b);
  // Readings out of range, or so close that the correction overflows, are
  // refused alike.
  if (!numbers || !std::all_of(readings_.begin(), readings_.end(), isValidReading) ||
      !isFinite(k)) {
    ui::messageBox(this, QString::fromUtf8(kDacBadReadings));
    showReadings();
    return;
  }
  showReadings();
  // Output 1 keeps its stored correction.
  dev_.writeDacCalibration(
      {c.dac1Gain, c.dac1Offset, c.dac1OutMin, c.dac1OutMax, k.gain, k.offset, a, b});
  // The sensor takes the new correction when it starts, whether or not the
  // write went through.
  dev_.restartSensor();
}

}  // namespace calibration
