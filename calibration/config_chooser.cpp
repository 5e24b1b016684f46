#include "calibration/config_chooser.h"

#include "calibration/channel_rules.h"
#include "calibration/config_dac.h"
#include "calibration/config_s.h"
#include "calibration/config_w.h"
#include "resources/config_dialog.h"

namespace calibration {

namespace {

using namespace resources;

constexpr int kChoices[] = {kConfigCalibrateS, kConfigCalibrateW, kConfigCalibrateDac};

}  // namespace

CConfig::CConfig(device::TQVZ2 &dev, const TE140 *adc, QWidget *parent)
    : ui::Dialog(kConfigDialog, parent), dev_(dev), adc_(adc) {}

void CConfig::onInit() {
  setTimer(kTimer, kTimerPeriodMs);
}

void CConfig::onTimer(int id) {
  // While a command holds the device or the link is closed, the buttons keep
  // their last state.
  if (id != kTimer || dev_.workerState() != device::TQVZ2::Free) return;
  dev_.snapshot(record_);
  if (record_.port < 0) return;
  for (int choice : kChoices)
    enableItem(choice, record_.online);
}

void CConfig::onCommand(int id, ui::Notification n) {
  if (n == ui::Notification::Clicked) {
    switch (id) {
      case kConfigCalibrateS:
        calibrateS();
        return;
      case kConfigCalibrateW:
        calibrateW();
        return;
      case kConfigCalibrateDac:
        calibrateDac();
        return;
      default:
        break;
    }
  }
  ui::Dialog::onCommand(id, n);
}

void CConfig::calibrateS() {
  CConfigS dialog(dev_, this);
  const bool accepted = dialog.runModal() == 1;
  tablesChangedS_ = channelChanged(tablesChangedS_, accepted,
                                   device::isComputed(dev_.calibration().gapComputed[0]),
                                   dialog.coefficientWritten());
}

void CConfig::calibrateW() {
  CConfigW dialog(dev_, adc_, this);
  const bool accepted = dialog.runModal() == 1;
  tablesChangedW_ = channelChanged(tablesChangedW_, accepted,
                                   device::isComputed(dev_.calibration().kwComputed[0]),
                                   dialog.coefficientWritten());
}

void CConfig::calibrateDac() {
  CConfigDAC dialog(dev_, this);
  dialog.runModal();
  dev_.dacOutputNormal();  // the output back from its test to normal operation
}

}  // namespace calibration
