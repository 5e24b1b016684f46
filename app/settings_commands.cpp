// The main window's sensor settings commands: each opens its dialog filled
// from the device's snapshot and hands what the user confirmed to one device
// operation. The outcome is shown only in the last-error line; a cancelled
// dialog exchanges nothing.
#include "app/globals.h"
#include "app/main_window.h"
#include "device/speed_table.h"
#include "dialogs/additional_dialog.h"
#include "dialogs/exchange_params_dialog.h"
#include "dialogs/number_dialog.h"
#include "dialogs/setpoints_dialog.h"
#include "resources/main_dialog.h"

namespace app {

using namespace resources;

bool CSentuneDlg::settingsCommand(int id) {
  if (!theDevice) return false;
  switch (id) {
    case kChangeExchange:
      changeExchange();
      return true;
    case kChangeNumber:
      changeNumber();
      return true;
    case kSetpoints:
      changeSetpoints();
      return true;
    case kAdditional:
      changeAdditional();
      return true;
    case kResetLimits:
      theDevice->resetMinMax();
      return true;
    case kResetStatistics:
      theDevice->resetStatistics();
      return true;
    case kFlagY:
    case kFlagSZ:
    case kFlagWX:
      changeChannelFlag(id);
      return true;
    default:
      return false;
  }
}

void CSentuneDlg::changeExchange() {
  const device::MeasurementRecord snap = theDevice->snapshot();
  dialogs::CChCon dialog(this);
  dialog.speedIndex = snap.speedIndex;
  dialog.address = snap.address;
  if (dialog.runModal() != 1) return;
  // With a link speed outside the table and none chosen there is no speed to
  // move the sensor to: nothing changes.
  if (dialog.speedIndex < 0 || dialog.speedIndex >= device::kSpeedRows) return;
  theDevice->changeExchange(dialog.speedIndex, dialog.address);
}

void CSentuneDlg::changeNumber() {
  dialogs::CChND dialog(this);
  dialog.number = static_cast<uint32_t>(theDevice->snapshot().config.sensorNumber);
  if (dialog.runModal() != 1) return;
  theDevice->writeSensorNumber(static_cast<int32_t>(dialog.number));
}

void CSentuneDlg::changeSetpoints() {
  dialogs::CChUst dialog(this, *theDevice);
  dialog.setFrom(theDevice->snapshot().config);
  if (dialog.runModal() != 1) return;
  theDevice->writeSetpoints(dialog.setpoints());
}

void CSentuneDlg::changeAdditional() {
  const device::MeasurementRecord snap = theDevice->snapshot();
  // Only a three-component sensor without its test signal has them; the
  // button may still be there for a tick after the kind changed.
  if (snap.sensorKind() != 2) return;
  const device::ConfigBlock &c = snap.config;
  dialogs::CAddSet dialog(this);
  dialog.values = {c.adcMinVoltage, c.adcMaxVoltage,   c.adcOverloadDelay,
                   c.maxRmsStep,    c.maxSpectrumLine, c.startFrequencyIndex};
  if (dialog.runModal() != 1) return;
  theDevice->writeAdditional(dialog.values);
}

void CSentuneDlg::changeChannelFlag(int id) {
  // Box 1074 is row Y (bit 1), 1075 row S/Z (bit 2), 1076 row W/X (bit 0).
  const uint32_t bit = id == kFlagY ? 2u : id == kFlagSZ ? 4u : 1u;
  uint32_t flags = theDevice->snapshot().config.channelFlags;
  flags = isItemChecked(id) ? (flags | bit) : (flags & ~bit);
  theDevice->setChannelFlags(flags);
  theDevice->writeChannelFlags();
}

}  // namespace app
