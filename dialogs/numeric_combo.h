// CComboF: a combo box with an edit part that holds one float32 value; its
// list offers preset values and its edit part takes any number. The text is
// always the value formatted with "%g".
//
//   auto *f = control<dialogs::CComboF>(1046);
//   f->setRange(1.0f, 10000.0f);
//   f->addItems({"40", "160", "700"});
//   f->SetValue(160.0f);                                      // at opening
//   if (std::optional<float> hz = f->takeEntered()) use(*hz);  // each tick
//
// Unlike CEdit1, a number outside the range is clamped to the nearest bound
// and committed, and leaving the control commits what was typed. Picking a
// row commits its text. Enter, Escape and the entry states are as for CEdit1.
#pragma once

#include <QComboBox>

#include "dialogs/numeric_entry.h"

namespace dialogs {

class CComboF : public QComboBox, public NumericEntry {
  Q_OBJECT

 public:
  explicit CComboF(QWidget *parent = nullptr);

  // Sets the value and rewrites the text, unless `force` is false and the
  // state is not Idle. Unless `noClamp`, x is first clamped to the range.
  void SetValue(float x, bool noClamp = false, bool force = false);
  // A whole number becomes the value, clamped to the range (Entered);
  // anything else restores the text of the value (Idle).
  void Commit() override;

 protected:
  void focusInEvent(QFocusEvent *event) override;
  void focusOutEvent(QFocusEvent *event) override;
  void keyPressEvent(QKeyEvent *event) override;

 private:
  void showValue() override;

  bool leaving_ = false;  // the focus is going away
};

}  // namespace dialogs
