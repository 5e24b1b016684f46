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

#include "calibration/channel_dialog.h"

class TE140;

namespace dialogs {
class CComboF;
}

namespace calibration {

class CConfigW : public ChannelDialog {
 public:
  CConfigW(device::TQVZ2 &dev, const TE140 *adc, QWidget *parent = nullptr);

  // D in um; negative while there is none.
  double referenceDisplacement() const { return referenceDisplacement_; }

 protected:
  void onInit() override;
  void onCommand(int id, ui::Notification n) override;
  void tick() override;

 private:
  // "S" or "R" of a point: takes or clears it; false for other commands.
  bool pointCommand(int id);
  void recompute();
  void showLive();
  // D from the module's voltage or the one entered, and the frequency.
  void followReference();
  // The "U=%.3f" and "K=%.3f" labels of the valid points.
  void showPoints();

  const TE140 *adc_;
  dialogs::CEdit1 *referenceVolts_;
  dialogs::CComboF *frequency_;
  dialogs::CEdit1 *w_;
  dialogs::CEdit1 *us_;
  dialogs::CEdit1 *kw2_;
  double referenceDisplacement_ = -1.0;
};

}  // namespace calibration
