#include "dialogs/setpoints_dialog.h"

#include <QComboBox>
#include <QEvent>
#include <QFontMetrics>
#include <QLabel>

#include "dialogs/setpoint_tip.h"
#include "resources/settings_dialogs.h"
#include "resources/strings.h"

namespace dialogs {

using namespace resources;

namespace {

constexpr const char *kModes[] = {"4-20 мА", "0-20 мА", "0-24 мА"};
constexpr int kLastMode = 2;

bool isMouseEvent(QEvent::Type t) {
  return t == QEvent::MouseButtonPress || t == QEvent::MouseButtonRelease ||
         t == QEvent::MouseButtonDblClick || t == QEvent::MouseMove || t == QEvent::Wheel;
}

}  // namespace

CChUst::CChUst(QWidget *parent, const device::TQVZ2 &device)
    : FieldDialog(kSetpointsDialog, parent), device_(device) {}

void CChUst::setFrom(const device::ConfigBlock &c) {
  warn1 = c.warn1;
  alarm1 = c.alarm1;
  warn2 = c.warn2;
  alarm2 = c.alarm2;
  warn3 = c.warn3;
  alarm3 = c.alarm3;
  alarmSamples = c.alarmSamples;
  minValue = c.minValue;
  maxValue = c.maxValue;
  fullScaleValue = c.fullScaleValue;
  dacMode1 = dacModeRow(c.dacMode1);
  dacMode2 = dacModeRow(c.dacMode2);
  averagingSamples = c.averagingSamples;
}

device::Setpoints CChUst::setpoints() const {
  return {warn1,
          alarm1,
          warn2,
          alarm2,
          warn3,
          alarm3,
          alarmSamples,
          minValue,
          maxValue,
          fullScaleValue,
          static_cast<float>(dacMode1),
          static_cast<float>(dacMode2),
          averagingSamples};
}

void CChUst::exchangeFields(FieldExchange &fx) {
  fx.field(kWarn1Edit, warn1, 0.0f, 1000.0f);
  fx.field(kAlarm1Edit, alarm1, 0.0f, 1000.0f);
  fx.field(kWarn3Edit, warn3, 0.0f, 1000.0f);
  fx.field(kWarn2Edit, warn2, 0.0f, 1000.0f);
  fx.field(kAlarm2Edit, alarm2, 0.0f, 1000.0f);
  fx.field(kAlarm3Edit, alarm3, 0.0f, 1000.0f);
  fx.field(kAlarmSamplesEdit, alarmSamples, 1.0f, 100.0f);
  fx.field(kMinValueEdit, minValue);
  fx.field(kMaxValueEdit, maxValue);
  fx.field(kFullScaleEdit, fullScaleValue, 1.0f, 1000.0f);
  fx.list(kDacMode1List, dacMode1, 0, kLastMode);
  fx.list(kDacMode2List, dacMode2, 0, kLastMode);
  fx.field(kAveragingEdit, averagingSamples, 1.0f, 32.0f);
  loadLabels(device_.snapshot().sensorKind());
}

void CChUst::loadLabels(int kind) {
  int first = 0;
  if (kind == 1) {
    first = kStrSetpointName1;
  } else if (kind == 2 || kind == 3) {
    first = kStrSetpointName2;
  } else {
    return;  // no sensor: the labels stay as they are
  }
  for (int i = 0; i < 6; ++i)
    setItemText(kSetpointLabelFirst + i, loadString(first + i));
}

QString CChUst::tipFor(float v) const {
  const device::MeasurementRecord snap = device_.snapshot();
  const CurrentRange range = currentRange(dacModeRow(snap.config.dacMode2));
  return QString::fromStdString(setpointTip(snap.sensorKind(), range, v));
}

void CChUst::onInit() {
  for (int id : {kDacMode1List, kDacMode2List}) {
    if (auto *list = control<QComboBox>(id)) {
      for (const char *mode : kModes)
        list->addItem(QString::fromUtf8(mode));
    }
  }
  FieldDialog::onInit();

  tip_ = new ToolTip(this);
  const QFontMetrics metrics(tip_->tipWindow()->font());
  tip_->setMaxTipWidth(metrics.horizontalAdvance(QString::fromUtf8(
      kTipWidthReference.data(), static_cast<qsizetype>(kTipWidthReference.size()))));
  QWidget *tool = item(kFullScaleEdit);
  const QString text = tipFor(fullScaleValue);
  tip_->addTool(tool, text);
  tip_->activate(true);
  tip_->updateTipText(tool, text);
  relayMouseFrom(this);
}

// Every mouse event of the dialog and its controls reaches the tooltip
// first, as it would through the dialog's message loop.
void CChUst::relayMouseFrom(QWidget *w) {
  w->setMouseTracking(true);
  w->installEventFilter(this);
  for (QWidget *child : w->findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
    if (!child->isWindow()) relayMouseFrom(child);
  }
}

bool CChUst::eventFilter(QObject *watched, QEvent *event) {
  if (tip_ && watched->isWidgetType() && isMouseEvent(event->type())) {
    tip_->relayEvent(static_cast<QWidget *>(watched), event);
  }
  return FieldDialog::eventFilter(watched, event);
}

void CChUst::onCommand(int id, ui::Notification n) {
  // Only the user's typing counts: the exchange below rewrites the field
  // itself, and so does the opening.
  if (id == kFullScaleEdit && n == ui::Notification::Changed && !exchanging() && tip_) {
    // A failing field shows its message here too; the write-back then puts
    // back what the members hold, undoing this keystroke if an earlier field
    // failed.
    updateData(Direction::FromControls);
    const float v = fullScaleValue;
    updateData(Direction::ToControls);
    tip_->updateTipText(item(kFullScaleEdit), tipFor(v));
    return;
  }
  FieldDialog::onCommand(id, n);
}

}  // namespace dialogs
