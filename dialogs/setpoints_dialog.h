// CChUst, dialog 145: the sensor's warning and alarm setpoints, range
// limits, value at maximum output current, current-output modes and
// averaging. Labels 2000-2005 name the setpoints by sensor kind, and the
// field "value at maximum current" (1064) carries a tip that tabulates which
// value gives which output current; typing there re-runs the whole exchange
// at every keystroke, so the tip always shows the value as it will be sent.
#pragma once

#include "device/qvz2.h"
#include "dialogs/field_dialog.h"
#include "dialogs/tool_tip.h"

namespace dialogs {

class CChUst : public FieldDialog {
 public:
  // `device` gives the sensor kind (labels, tip units) and the mode of
  // current output 2 (the tip's range) whenever they are needed.
  CChUst(QWidget *parent, const device::TQVZ2 &device);

  // The members, in the order of the field exchange.
  float warn1 = 0, alarm1 = 0, warn3 = 0, warn2 = 0, alarm2 = 0, alarm3 = 0;
  float alarmSamples = 0, minValue = 0, maxValue = 0, fullScaleValue = 0;
  int dacMode1 = 0, dacMode2 = 0;  // rows of the mode lists
  float averagingSamples = 3;

  // Sets the members from a configuration block (modes truncated to rows).
  void setFrom(const device::ConfigBlock &config);
  // The members as writeSetpoints takes them.
  device::Setpoints setpoints() const;

  // The tooltip of field 1064; null before the dialog opens.
  ToolTip *toolTip() const { return tip_; }

 protected:
  void onInit() override;
  void onCommand(int id, ui::Notification n) override;
  void exchangeFields(FieldExchange &fx) override;
  bool eventFilter(QObject *watched, QEvent *event) override;

 private:
  void loadLabels(int kind);
  QString tipFor(float v) const;
  void relayMouseFrom(QWidget *w);

  const device::TQVZ2 &device_;
  ToolTip *tip_ = nullptr;
};

}  // namespace dialogs
