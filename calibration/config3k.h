// CConfig3K: the calibration of a three-component sensor (dialog 150).
//
// For each axis the technician gives a reference voltage (typed, or taken from
// the reference ADC), which the dialog stores in the sensor as a reference
// velocity for the frequency chosen; "Калибровка" then makes the sensor set
// the axis's tare coefficient so that its reading matches the reference. Tare
// coefficients can also be typed. Every change goes to the sensor while the
// dialog is open; OK and Cancel only close it.
//
//   CConfig3K dialog(*theDevice, theAdc.get(), mainWindow);
//   dialog.runModal();
#pragma once

#include <array>

#include "calibration/three_axis.h"
#include "device/qvz2.h"
#include "device/record.h"
#include "ui/dialog.h"

class TE140;

namespace dialogs {
class CEdit1;
class CComboF;
}  // namespace dialogs

namespace calibration {

class CConfig3K : public ui::Dialog {
 public:
  static constexpr int kTimer = 1;
  static constexpr int kTimerPeriodMs = 100;

  // `adc` may be null: no reference ADC, no "Uэт с АЦП".
  CConfig3K(device::TQVZ2 &dev, const TE140 *adc, QWidget *parent = nullptr);

 protected:
  // Frequency 160 Hz in 1 .. 10000, edits in 0.1 .. 10, the timer started.
  void onInit() override;
  void onCommand(int id, ui::Notification n) override;
  void onTimer(int id) override;

 private:
  void tick();
  void writePendingEntries(float k);
  void showSensor(float k);
  void showUnavailable();
  // The ADC's value in volts, when it has a measurement.
  bool adcVolts(double &volts) const;
  // Puts the ADC's value into a reference voltage edit and commits it there.
  void takeAdcValue(int voltageEdit);
  // "Калибровка ЦАП": CConfigDAC with this dialog's ticks paused, then the
  // current output back to normal operation.
  void calibrateDac();
  dialogs::CEdit1 *edit(int id) const;

  device::TQVZ2 &dev_;
  const TE140 *adc_;
  dialogs::CComboF *frequency_ = nullptr;
  bool timerEnabled_ = false;
  // The reference velocities of the previous tick, by Axis; the measured
  // values are shown against them.
  std::array<float, 3> references_{1.0f, 1.0f, 1.0f};
  device::MeasurementRecord rec_;  // the copy a tick works on
};

}  // namespace calibration
