#include "calibration/config3k.h"

#include "adc/te140.h"
#include "calibration/config_dac.h"
#include "dialogs/numeric_combo.h"
#include "dialogs/numeric_edit.h"
#include "resources/config3k_dialog.h"

namespace calibration {

using namespace resources;

namespace {

struct AxisControls {
  Axis axis;
  int measured, voltage, velocity, tare, adc, calibrate;
};

constexpr const char *kUnavailable = "*****";
constexpr float kMinimumFrequency = 1.0f, kMaximumFrequency = 10000.0f;
constexpr float kStartFrequency = 160.0f;
constexpr float kMinimumEntry = 0.1f, kMaximumEntry = 10.0f;  // volts and tare coefficients

// In the order the pending entries are written.
constexpr AxisControls kAxes[] = {
    {Axis::Y, k3KMeasuredY, k3KVoltageY, k3KVelocityY, k3KTareY, k3KAdcY, k3KCalibrateY},
    {Axis::X, k3KMeasuredX, k3KVoltageX, k3KVelocityX, k3KTareX, k3KAdcX, k3KCalibrateX},
    {Axis::Z, k3KMeasuredZ, k3KVoltageZ, k3KVelocityZ, k3KTareZ, k3KAdcZ, k3KCalibrateZ},
};
static_assert(kAxes[0].axis == kWriteOrder[0] && kAxes[1].axis == kWriteOrder[1] &&
              kAxes[2].axis == kWriteOrder[2]);

}  // namespace

CConfig3K::CConfig3K(device::TQVZ2 &dev, const TE140 *adc, QWidget *parent)
    : ui::Dialog(kConfig3KDialog, parent), dev_(dev), adc_(adc) {}

dialogs::CEdit1 *CConfig3K::edit(int id) const {
  return control<dialogs::CEdit1>(id);
}

void CConfig3K::onInit() {
  setTimer(kTimer, kTimerPeriodMs);
  timerEnabled_ = true;
  frequency_ = control<dialogs::CComboF>(k3KFrequency);
  frequency_->setRange(kMinimumFrequency, kMaximumFrequency);
  frequency_->addItems({QStringLiteral("40"), QStringLiteral("160"), QStringLiteral("700")});
  frequency_->SetValue(kStartFrequency);
  for (const AxisControls &a : kAxes) {
    edit(a.voltage)->setRange(kMinimumEntry, kMaximumEntry);
    edit(a.tare)->setRange(kMinimumEntry, kMaximumEntry);
  }
}

void CConfig3K::onTimer(int id) {
  if (id == kTimer && timerEnabled_) tick();
}

void CConfig3K::tick() {
  if (dev_.workerState() != device::TQVZ2::Free) return;
  dev_.snapshot(rec_);
  if (rec_.port < 0) return;

  const float k = velocityFactor(frequency_->value());
  writePendingEntries(k);
  if (rec_.online) {
    showSensor(k);
  } else {
    showUnavailable();
  }

  double volts = 0;
  const bool adcValue = adcVolts(volts);
  setItemText(k3KAdcValue, adcValue ? QString::asprintf("%.4f", volts) : QString());
  for (const AxisControls &a : kAxes) {
    enableItem(a.calibrate, rec_.online);
    enableItem(a.adc, adcValue);
  }
  enableItem(k3KRestart, rec_.online);
}

void CConfig3K::writePendingEntries(float k) {
  bool written = false;
  for (const AxisControls &a : kAxes) {
    if (const std::optional<float> volts = edit(a.voltage)->takeEntered()) {
      dev_.writeAxisValue(k * *volts, referenceIndex(a.axis));
      written = true;
    }
    if (const std::optional<float> tare = edit(a.tare)->takeEntered()) {
      dev_.writeAxisValue(*tare, tareIndex(a.axis));
      written = true;
    }
  }
  // The writes read the configuration back.
  if (written) dev_.snapshot(rec_);
}

void CConfig3K::showSensor(float k) {
  // The errors against the references of the previous tick, then the new ones.
  for (const AxisControls &a : kAxes) {
    const AxisState s = axisState(rec_.config, rec_.inputs, a.axis);
    setItemText(a.measured, QString::fromStdString(
                                measuredText(s.measured, references_[static_cast<int>(a.axis)])));
  }
  for (const AxisControls &a : kAxes) {
    const AxisState s = axisState(rec_.config, rec_.inputs, a.axis);
    edit(a.voltage)->SetValue(s.reference / k, true);
    edit(a.tare)->SetValue(s.tare, true);
    references_[static_cast<int>(a.axis)] = s.reference;
    setItemText(a.velocity, QString::asprintf("%g", static_cast<double>(s.reference)));
  }
}

void CConfig3K::showUnavailable() {
  for (const AxisControls &a : kAxes) {
    setItemText(a.measured, kUnavailable);
    setItemText(a.velocity, kUnavailable);
    for (int id : {a.voltage, a.tare}) {
      setItemText(id, kUnavailable);
      edit(id)->setState(dialogs::EntryState::Idle);
    }
  }
}

bool CConfig3K::adcVolts(double &volts) const {
  // -32768 is the ADC's "no measurement yet", no voltage to take.
  return adc_ && adc_->GetReference(volts) && volts != TE140::kNoValue;
}

void CConfig3K::takeAdcValue(int voltageEdit) {
  double volts = 0;
  if (!adcVolts(volts)) return;
  dialogs::CEdit1 *e = edit(voltageEdit);
  e->SetValue(static_cast<float>(volts), false, false, "%g");  // clamped into the range
  e->Commit();
}

void CConfig3K::calibrateDac() {
  // The timer keeps firing under the DAC dialog's loop; its ticks do nothing.
  timerEnabled_ = false;
  {
    CConfigDAC dac(dev_, this);
    dac.setWindowIcon(windowIcon());
    dac.runModal();
  }
  dev_.dacOutputNormal();
  timerEnabled_ = true;
}

void CConfig3K::onCommand(int id, ui::Notification n) {
  if (n == ui::Notification::Clicked) {
    for (const AxisControls &a : kAxes) {
      if (id == a.adc) {
        takeAdcValue(a.voltage);
        return;
      }
      if (id == a.calibrate) {
        dev_.calibrateAxis(static_cast<int>(a.axis));
        return;
      }
    }
    if (id == k3KRestart) {
      dev_.restartSensor();
      return;
    }
    if (id == k3KDacCalibration) {
      calibrateDac();
      return;
    }
  }
  ui::Dialog::onCommand(id, n);
}

}  // namespace calibration
