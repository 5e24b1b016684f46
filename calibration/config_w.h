// CConfigW (dialog 141, "Параметры калибровки"): the vibration channel's
// calibration on a vibration stand. The reference displacement D (um) comes
// from the reference signal's voltage, measured by the E-140 module or
// typed, and the vibration frequency. At several gaps the technician presses
// a point's "S": the point stores the gap voltage Us and the coefficient Kw
// that would make W read D there, and the computed Kw(Us) table (red) is
// refitted against the stored one (green). The gain kw2 can be typed,
// corrected by typing the true displacement, or recomputed from D.
//
//   calibration::CConfigW w(*theDevice, theAdc.get(), this);   // adc may be null
//   if (w.runModal() == 1 && device::isComputed(cal.kwComputed[0])) ...
//   if (w.coefficientWritten()) ...   // kw2 written from its edit or from W
//
// Only kw2 goes to the sensor from here. Without a positive reference
// displacement an "S" press stores no point.
#pragma once

#include "calibration/table_watch.h"
#include "device/qvz2.h"
#include "device/record.h"
#include "ui/dialog.h"

class TE140;

namespace dialogs {
class CEdit1;
class CComboF;
}  // namespace dialogs

namespace calibration {

class CGraph;

class CConfigW : public ui::Dialog {
 public:
  static constexpr int kTimer = 1;
  static constexpr int kTimerPeriodMs = 100;

  CConfigW(device::TQVZ2 &dev, const TE140 *adc, QWidget *parent = nullptr);

  // True once kw2 was written from the Kw2 edit or the displacement edit.
  bool coefficientWritten() const { return coefficientWritten_; }
  // D in um; negative while there is none.
  double referenceDisplacement() const { return referenceDisplacement_; }

 protected:
  void onInit() override;
  void onCommand(int id, ui::Notification n) override;
  void onTimer(int id) override;

 private:
  bool pointCommand(int id);
  void recompute();
  void tick();
  void showLive();
  void showOffline();
  void takeEntries();
  void followReference();
  void showPoints();

  device::TQVZ2 &dev_;
  const TE140 *adc_;
  device::MeasurementRecord record_;  // the snapshot of the last tick; the graph reads it
  TableWatch storedTables_;           // the tables the graph last drew
  dialogs::CEdit1 *referenceVolts_;
  dialogs::CComboF *frequency_;
  dialogs::CEdit1 *w_;
  dialogs::CEdit1 *us_;
  dialogs::CEdit1 *kw2_;
  CGraph *graph_;
  double referenceDisplacement_ = -1.0;
  bool coefficientWritten_ = false;
};

}  // namespace calibration
