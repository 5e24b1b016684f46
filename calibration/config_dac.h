// CConfigDAC (dialog 153, "Калибровка ЦАП"): calibrates current output 2
// against an ammeter. The technician drives the output to its minimum and to
// its maximum, types what the ammeter reads each time and presses
// "Калибровка": the gain and offset that map the measured span onto the
// nominal span of the output's mode go to the sensor with both readings, and
// the sensor restarts. The group of output 1 is shown disabled.
//
//   calibration::CConfigDAC dac(*theDevice, this);
//   dac.runModal();
//   theDevice->dacOutputNormal();   // the caller ends the output test
//
// The dialog does not follow the sensor while it is open; it reads the
// stored readings and corrections when it is constructed and when it writes.
#pragma once

#include <array>

#include "device/qvz2.h"
#include "ui/dialog.h"

namespace calibration {

class CConfigDAC : public ui::Dialog {
 public:
  explicit CConfigDAC(device::TQVZ2 &dev, QWidget *parent = nullptr);

 protected:
  void onInit() override;
  void onCommand(int id, ui::Notification n) override;

 private:
  // Reads the four edits into readings_; false when one is empty or not a
  // number (that reading keeps its value).
  bool readEdits();
  void showReadings();
  void calibrate();

  device::TQVZ2 &dev_;
  // Output 1 minimum and maximum, output 2 minimum and maximum, mA.
  std::array<float, 4> readings_;
};

}  // namespace calibration
