// CTestDlg: the sensor test dialog (156). While it is open the sensor is in
// test mode and reports the three test values it stores instead of its
// measurements; the dialog shows those values and writes every value the
// user enters. Gap S and displacement W for a gap and vibration sensor,
// velocities Z, X and Y for a three-component one.
//
//   CTestDlg dialog(*theDevice, mainWindow);
//   dialog.runModal();  // test mode on when it opens, off when it is destroyed
#pragma once

#include "device/qvz2.h"
#include "device/record.h"
#include "ui/dialog.h"

namespace dialogs {
class CEdit1;
}

namespace calibration {

class CTestDlg : public ui::Dialog {
 public:
  static constexpr int kTimer = 1;
  static constexpr int kTimerPeriodMs = 100;

  explicit CTestDlg(device::TQVZ2 &dev, QWidget *parent = nullptr);
  // Switches test mode off again, however the dialog ended.
  ~CTestDlg() override;

 protected:
  // Starts the timer, lays the dialog out for the sensor's type, then
  // switches test mode on.
  void onInit() override;
  void onTimer(int id) override;

 private:
  dialogs::CEdit1 *valueEdit(int index) const;

  device::TQVZ2 &dev_;
  bool testMode_ = false;          // switched on by this dialog
  device::MeasurementRecord rec_;  // the copy a tick works on
};

}  // namespace calibration
