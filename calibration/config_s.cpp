#include "calibration/config_s.h"

#include "calibration/channel_rules.h"
#include "calibration/graph.h"
#include "dialogs/numeric_edit.h"
#include "resources/gap_calibration_dialog.h"

namespace calibration {

namespace {

using namespace resources;
using dialogs::EntryState;

constexpr const char *kUnavailable = "*****";

}  // namespace

CConfigS::CConfigS(device::TQVZ2 &dev, QWidget *parent)
    : ui::Dialog(kGapCalibrationDialog, parent),
      dev_(dev),
      record_(dev.snapshot()),
      storedTables_(record_.tables),
      us_(control<dialogs::CEdit1>(kGapUs)),
      ks2_(control<dialogs::CEdit1>(kGapKs2)),
      gap_(control<dialogs::CEdit1>(kGapValue)),
      reference_(control<dialogs::CEdit1>(kGapReference)),
      graph_(control<CGraph>(kGapGraph)) {
  graph_->setup(gapGraph(dev_.calibration(), record_));
}

void CConfigS::onInit() {
  setTimer(kTimer, kTimerPeriodMs);
  reference_->setRange(0.0f, 6.0f);
  us_->setRange(0.0f, 2.5f);
  gap_->setRange(0.0f, 6.0f);
  ks2_->setRange(0.000001f, 1000000.0f);
  const auto &points = dev_.calibration().gapPoints;
  for (int i = 0; i < kGapPointCount; ++i) {
    if (points[i].ref >= 0.0f)
      setItemText(kGapPointRef0 + i, dialogs::formatValue("S=%.3f", points[i].ref));
  }
  showPointVoltages();
}

void CConfigS::onCommand(int id, ui::Notification n) {
  if (n == ui::Notification::Clicked && pointCommand(id)) return;
  ui::Dialog::onCommand(id, n);
}

bool CConfigS::pointCommand(int id) {
  int i = id - kGapTake0;
  double u = us_->value();  // the live voltage, or one the user typed and entered
  if (i < 0 || i >= kGapPointCount) {
    i = id - kGapClear0;
    u = -1.0;
    if (i < 0 || i >= kGapPointCount) return false;
  }
  dev_.setCalPoint(i, u, false, 1.0);  // refused at another point's voltage
  showPointVoltages();
  graph_->update();
  return true;
}

void CConfigS::onTimer(int id) {
  if (id == kTimer) tick();
}

void CConfigS::tick() {
  // While a command holds the device or the link is closed, everything keeps
  // its last state.
  if (dev_.workerState() != device::TQVZ2::Free) return;
  dev_.snapshot(record_);
  if (record_.port < 0) return;
  if (storedTables_.changed(record_.tables)) graph_->update();
  if (record_.online) {
    showLive();
    takeEntries();
  } else {
    showOffline();
  }
  showPointVoltages();
  const std::optional<float> error =
      record_.online ? gapErrorPercent(record_.inputs.valueSZ, reference_->value()) : std::nullopt;
  setItemText(kGapError, error ? dialogs::formatValue("%.2f", *error) : QString());
}

void CConfigS::showLive() {
  us_->SetValue(record_.inputs.voltageUs, true, false, "%.3f");
  ks2_->SetValue(record_.tables.tableTail.ks2, true, false);
  gap_->SetValue(record_.inputs.valueSZ, true, false, "%.3f");
}

void CConfigS::showOffline() {
  for (dialogs::CEdit1 *e : {us_, ks2_, gap_}) {
    e->setText(QString::fromLatin1(kUnavailable));
    e->setState(EntryState::Idle);
  }
}

void CConfigS::takeEntries() {
  if (const std::optional<float> k = ks2_->takeEntered()) {
    dev_.writeKs2(*k);
    coefficientWritten_ = true;
  }
  if (const std::optional<float> g = gap_->takeEntered()) {
    // The gain that would have made the present reading the typed gap.
    const std::optional<float> k =
        correctedGain(record_.tables.tableTail.ks2, *g, record_.inputs.valueSZ);
    if (k) {
      dev_.writeKs2(*k);
      coefficientWritten_ = true;
    }
  }
}

void CConfigS::showPointVoltages() {
  const auto &points = dev_.calibration().gapPoints;
  for (int i = 0; i < kGapPointCount; ++i) {
    const bool valid = points[i].ref >= 0.0f && points[i].u >= 0.0;
    setItemText(kGapPointU0 + i, valid ? dialogs::formatValue("U=%.3f", points[i].u) : QString());
  }
}

}  // namespace calibration
