// CConfigS (dialog 149, "Параметры калибровки канала S"): the gap channel's
// calibration on a stand. At each reference gap S1..S10 (from the INI file)
// the technician presses that point's "S": the point takes the present gap
// voltage Us, and the computed S(Us) table (red) is refitted through the
// points against the table the sensor stores (green). Beside the graph: live
// Us and S, the gain ks2 (typed directly, or corrected by typing the true
// gap), and the error of S against a typed reference gap.
//
//   calibration::CConfigS s(*theDevice, this);
//   if (s.runModal() == 1 && device::isComputed(cal.gapComputed[0])) ...
//   if (s.coefficientWritten()) ...      // ks2 was written
//
// Only ks2 goes to the sensor from here; the points and the computed table
// stay in the device object and reach the sensor as a coefficient file.
#pragma once

#include "calibration/channel_dialog.h"

namespace calibration {

class CConfigS : public ChannelDialog {
 public:
  explicit CConfigS(device::TQVZ2 &dev, QWidget *parent = nullptr);

 protected:
  void onInit() override;
  void onCommand(int id, ui::Notification n) override;
  void tick() override;

 private:
  // "S" or "R" of a point: takes or clears it; false for other commands.
  bool pointCommand(int id);
  // The "U=%.3f" labels of the valid points.
  void showPointVoltages();

  dialogs::CEdit1 *us_;
  dialogs::CEdit1 *ks2_;
  dialogs::CEdit1 *gap_;
  dialogs::CEdit1 *reference_;
};

}  // namespace calibration
