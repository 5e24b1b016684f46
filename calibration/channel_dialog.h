// What the calibration dialogs of channels S and W share: the device, the
// snapshot the graph draws from, the 100 ms tick that follows the sensor,
// and the gain that is typed or corrected from a typed true value.
#pragma once

#include <initializer_list>

#include "calibration/graph.h"
#include "calibration/table_watch.h"
#include "device/qvz2.h"
#include "device/record.h"
#include "ui/dialog.h"

namespace dialogs {
class CEdit1;
}

namespace calibration {

class ChannelDialog : public ui::Dialog {
 public:
  static constexpr int kTimer = 1;
  static constexpr int kTimerPeriodMs = 100;

  // True once the dialog has written its gain from the gain edit or from a
  // typed true value (whether or not the write succeeded).
  bool coefficientWritten() const { return coefficientWritten_; }

 protected:
  using GraphOf = GraphSetup (*)(const device::CalibrationData &,
                                 const device::MeasurementRecord &);
  ChannelDialog(const ui::DialogTemplate &tmpl, device::TQVZ2 &dev, int graphId, GraphOf graphOf,
                QWidget *parent);

  // Starts the tick.
  void onInit() override;
  // While a command holds the device or the link is closed, the tick does
  // nothing and everything keeps its last state. Otherwise it takes a
  // snapshot, repaints the graph when the stored tables changed, and calls
  // tick().
  void onTimer(int id) override;
  virtual void tick() = 0;

  // The edits show "*****", and what the user typed or entered is dropped.
  static void showUnavailable(std::initializer_list<dialogs::CEdit1 *> edits);
  // A gain entered in `gainEdit` is written as it is; a true value entered
  // in `valueEdit` corrects the present gain so that `reading` would have
  // been it (nothing for a reading of 0, or a gain that is not positive).
  void takeGain(dialogs::CEdit1 *gainEdit, dialogs::CEdit1 *valueEdit, float gain, float reading,
                bool (device::TQVZ2::*write)(float));

  device::TQVZ2 &dev_;
  device::MeasurementRecord record_;  // the snapshot of the last tick; the graph reads it
  CGraph *graph_;

 private:
  TableWatch storedTables_;  // the tables the graph last drew
  bool coefficientWritten_ = false;
};

}  // namespace calibration
