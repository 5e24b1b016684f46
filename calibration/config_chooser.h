// CConfig (dialog 148, "Параметры калибровки"): the calibration chooser of a
// gap and vibration sensor. It opens the calibration of channel S, of
// channel W and of the current output, offers them only while the sensor
// delivers valid data, and records whether channel S or W has changed.
//
//   calibration::CConfig chooser(*theDevice, theAdc.get(), this);
//   const int result = chooser.runModal();     // 1 OK, 2 Cancel
//   if (chooser.tablesChangedS() || chooser.tablesChangedW()) ...
#pragma once

#include "device/qvz2.h"
#include "device/record.h"
#include "ui/dialog.h"

class TE140;

namespace calibration {

class CConfig : public ui::Dialog {
 public:
  static constexpr int kTimer = 1;
  static constexpr int kTimerPeriodMs = 100;

  CConfig(device::TQVZ2 &dev, const TE140 *adc, QWidget *parent = nullptr);

  // Channel S (W) has a new table or a new ks2 (kw2): its dialog closed with
  // OK while the set had a computed table, or it wrote its gain.
  bool tablesChangedS() const { return tablesChangedS_; }
  bool tablesChangedW() const { return tablesChangedW_; }

 protected:
  void onInit() override;
  void onCommand(int id, ui::Notification n) override;
  void onTimer(int id) override;

 private:
  void calibrateS();
  void calibrateW();
  void calibrateDac();

  device::TQVZ2 &dev_;
  const TE140 *adc_;
  device::MeasurementRecord record_;  // reused by each tick's snapshot
  bool tablesChangedS_ = false;
  bool tablesChangedW_ = false;
};

}  // namespace calibration
