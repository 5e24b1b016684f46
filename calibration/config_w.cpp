#include "calibration/config_w.h"

#include "adc/te140.h"
#include "calibration/channel_rules.h"
#include "dialogs/numeric_combo.h"
#include "dialogs/numeric_edit.h"
#include "resources/kw_calibration_dialog.h"

namespace calibration {

namespace {

using namespace resources;
using dialogs::EntryState;

}  // namespace

CConfigW::CConfigW(device::TQVZ2 &dev, const TE140 *adc, QWidget *parent)
    : ChannelDialog(kKwCalibrationDialog, dev, kKwGraph, kwGraph, parent),
      adc_(adc),
      referenceVolts_(control<dialogs::CEdit1>(kKwReferenceVolts)),
      frequency_(control<dialogs::CComboF>(kKwFrequency)),
      w_(control<dialogs::CEdit1>(kKwValue)),
      us_(control<dialogs::CEdit1>(kKwUs)),
      kw2_(control<dialogs::CEdit1>(kKwKw2)) {}

void CConfigW::onInit() {
  ChannelDialog::onInit();
  referenceVolts_->setRange(0.1f, 10.0f);
  kw2_->setRange(0.1f, 10.0f);
  us_->setRange(0.0f, 2.5f);
  w_->setRange(0.0f, 1000.0f);
  frequency_->setRange(1.0f, 10000.0f);
  frequency_->addItems({QStringLiteral("40"), QStringLiteral("160"), QStringLiteral("700")});
  frequency_->SetValue(160.0f);
  const auto &points = dev_.calibration().kwPoints;
  for (int i = 0; i < kKwPointCount; ++i) {
    if (points[i].ref >= 0.0f)
      setItemText(kKwPointGap0 + i, dialogs::formatValue("%.2f", points[i].ref));
  }
  showPoints();
}

void CConfigW::onCommand(int id, ui::Notification n) {
  if (n == ui::Notification::Clicked) {
    if (pointCommand(id)) return;
    if (id == kKwRecompute) {
      recompute();
      return;
    }
  }
  ui::Dialog::onCommand(id, n);
}

bool CConfigW::pointCommand(int id) {
  if (const int i = id - kKwTake0; i >= 0 && i < kKwPointCount) {
    const float u = us_->value();  // the live voltage, or one the user typed and entered
    const std::optional<double> k =
        kwPointCoefficient(dev_.lookupKw(u), referenceDisplacement_, record_.inputs.valueWX);
    if (!k || !dev_.setCalPoint(i, u, true, *k)) return true;
    setItemText(kKwPointGap0 + i, dialogs::formatValue("%.2f", dev_.calibration().kwPoints[i].ref));
  } else if (const int j = id - kKwClear0; j >= 0 && j < kKwPointCount) {
    dev_.setCalPoint(j, -1.0, true, 1.0);
    setItemText(kKwPointGap0 + j, QString());
  } else {
    return false;
  }
  showPoints();
  graph_->update();
  return true;
}

void CConfigW::recompute() {
  const std::optional<float> kw2 = kw2FromReference(record_.tables.tableTail.kw2,
                                                    referenceDisplacement_, record_.inputs.valueWX);
  if (kw2) dev_.writeKw2(*kw2);
}

void CConfigW::tick() {
  if (record_.online) {
    showLive();
    takeGain(kw2_, w_, record_.tables.tableTail.kw2, record_.inputs.valueWX,
             &device::TQVZ2::writeKw2);
  } else {
    showUnavailable({us_, kw2_, w_});
    setItemText(kKwGap, QStringLiteral("*****"));
    setItemText(kKwUw, QStringLiteral("*****"));
  }
  followReference();
  const double d = referenceDisplacement_;
  setItemText(kKwReferenceUm, d >= 0.0 ? dialogs::formatValue("%.1f", d) : QString());
  const std::optional<double> error =
      record_.online ? displacementErrorPercent(record_.inputs.valueWX, d) : std::nullopt;
  setItemText(kKwError, error ? dialogs::formatValue("%.2f", *error) : QString());
  showPoints();
  enableItem(kKwRecompute, record_.online && kw2FromReference(record_.tables.tableTail.kw2, d,
                                                              record_.inputs.valueWX));
}

void CConfigW::showLive() {
  const device::InputBlock &in = record_.inputs;
  us_->SetValue(in.voltageUs, true, false, "%.3f");
  kw2_->SetValue(record_.tables.tableTail.kw2, true, false);
  w_->SetValue(in.valueWX, true, false, "%.1f");
  setItemText(kKwGap, dialogs::formatValue("%.3f", in.valueSZ));
  setItemText(kKwUw, dialogs::formatValue("%.2f", 1000.0f * in.voltageUw));
}

void CConfigW::followReference() {
  double adcVolts = 0.0;
  const bool available = adc_ && adc_->GetReference(adcVolts);
  if (!available) adcVolts = 0.0;
  if (available || referenceVolts_->state() == EntryState::Entered) {
    // A voltage the user typed and entered stays in force over the module's.
    referenceVolts_->SetValue(static_cast<float>(adcVolts), true, false, "%.4f");
    referenceDisplacement_ =
        calibration::referenceDisplacement(referenceVolts_->value(), frequency_->value());
  } else if (referenceVolts_->state() == EntryState::Idle) {
    referenceVolts_->setText(QString());
    referenceDisplacement_ = -1.0;
  }
}

void CConfigW::showPoints() {
  const auto &points = dev_.calibration().kwPoints;
  for (int i = 0; i < kKwPointCount; ++i) {
    const bool valid = points[i].ref >= 0.0f && points[i].u >= 0.0;
    setItemText(kKwPointU0 + i, valid ? dialogs::formatValue("U=%.3f", points[i].u) : QString());
    setItemText(kKwPointK0 + i, valid ? dialogs::formatValue("K=%.3f", points[i].y) : QString());
  }
}

}  // namespace calibration
