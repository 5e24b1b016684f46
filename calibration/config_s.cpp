#include "calibration/config_s.h"

#include "calibration/channel_rules.h"
#include "dialogs/numeric_edit.h"
#include "resources/gap_calibration_dialog.h"

namespace calibration {

namespace {

using namespace resources;

}  // namespace

CConfigS::CConfigS(device::TQVZ2 &dev, QWidget *parent)
    : ChannelDialog(kGapCalibrationDialog, dev, kGapGraph, gapGraph, parent),
      us_(control<dialogs::CEdit1>(kGapUs)),
      ks2_(control<dialogs::CEdit1>(kGapKs2)),
      gap_(control<dialogs::CEdit1>(kGapValue)),
      reference_(control<dialogs::CEdit1>(kGapReference)) {}

void CConfigS::onInit() {
  ChannelDialog::onInit();
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

void CConfigS::tick() {
  const device::InputBlock &in = record_.inputs;
  const float ks2 = record_.tables.tableTail.ks2;
  if (record_.online) {
    us_->SetValue(in.voltageUs, true, false, "%.3f");
    ks2_->SetValue(ks2, true, false);
    gap_->SetValue(in.valueSZ, true, false, "%.3f");
    takeGain(ks2_, gap_, ks2, in.valueSZ, &device::TQVZ2::writeKs2);
  } else {
    showUnavailable({us_, ks2_, gap_});
  }
  showPointVoltages();
  const std::optional<float> error =
      record_.online ? gapErrorPercent(in.valueSZ, reference_->value()) : std::nullopt;
  setItemText(kGapError, error ? dialogs::formatValue("%.2f", *error) : QString());
}

void CConfigS::showPointVoltages() {
  const auto &points = dev_.calibration().gapPoints;
  for (int i = 0; i < kGapPointCount; ++i) {
    const bool valid = points[i].ref >= 0.0f && points[i].u >= 0.0;
    setItemText(kGapPointU0 + i, valid ? dialogs::formatValue("U=%.3f", points[i].u) : QString());
  }
}

}  // namespace calibration
