#include "calibration/channel_dialog.h"

#include "calibration/channel_rules.h"
#include "dialogs/numeric_edit.h"

namespace calibration {

ChannelDialog::ChannelDialog(const ui::DialogTemplate &tmpl, device::TQVZ2 &dev, int graphId,
                             GraphOf graphOf, QWidget *parent)
    : ui::Dialog(tmpl, parent),
      dev_(dev),
      record_(dev.snapshot()),
      graph_(control<CGraph>(graphId)),
      storedTables_(record_.tables) {
  graph_->setup(graphOf(dev_.calibration(), record_));
}

void ChannelDialog::onInit() {
  setTimer(kTimer, kTimerPeriodMs);
}

void ChannelDialog::onTimer(int id) {
  if (id != kTimer || dev_.workerState() != device::TQVZ2::Free) return;
  dev_.snapshot(record_);
  if (record_.port < 0) return;
  if (storedTables_.changed(record_.tables)) graph_->update();
  tick();
}

void ChannelDialog::showUnavailable(std::initializer_list<dialogs::CEdit1 *> edits) {
  for (dialogs::CEdit1 *e : edits) {
    e->setText(QStringLiteral("*****"));
    e->setState(dialogs::EntryState::Idle);
  }
}

void ChannelDialog::takeGain(dialogs::CEdit1 *gainEdit, dialogs::CEdit1 *valueEdit, float gain,
                             float reading, bool (device::TQVZ2::*write)(float)) {
  if (const std::optional<float> k = gainEdit->takeEntered()) {
    (dev_.*write)(*k);
    coefficientWritten_ = true;
  }
  if (const std::optional<float> truth = valueEdit->takeEntered()) {
    if (const std::optional<float> k = correctedGain(gain, *truth, reading)) {
      (dev_.*write)(*k);
      coefficientWritten_ = true;
    }
  }
}

}  // namespace calibration
