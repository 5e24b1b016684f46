// CEdit1: an edit field that holds one float32 value for a dialog that keeps
// updating it from live data, while the user may type a new one.
//
// The owner sets the range when its dialog opens, updates the value on its
// ticks with SetValue (ignored while the user edits or a committed value
// waits), and takes committed values:
//
//   auto *us = control<dialogs::CEdit1>(1040);
//   us->setRange(0.0f, 2.5f);
//   us->SetValue(rec.inputs.voltageUs, true, false, "%.3f");   // each tick
//   if (std::optional<float> v = us->takeEntered()) use(*v);  // back to Idle
//
// The user: focus in makes the state Editing; Enter commits the typed text
// when it is a whole number within the range (Entered) and otherwise restores
// the text of the old value (Idle); Escape restores the text and goes Idle;
// leaving without Enter goes Idle and leaves the typed text until the next
// update. Enter and Escape move the focus to the dialog and go no further:
// they neither press the default button nor close the dialog.
#pragma once

#include <QLineEdit>
#include <string>
#include <string_view>

#include "dialogs/numeric_entry.h"

namespace dialogs {

class CEdit1 : public QLineEdit, public NumericEntry {
  Q_OBJECT

 public:
  explicit CEdit1(QWidget *parent = nullptr);

  // The printf format of the text, "%g" at first.
  const std::string &format() const { return format_; }

  // Sets the value and rewrites the text, unless `force` is false and the
  // state is not Idle (the user's entry has priority). Unless `noClamp`, x is
  // first clamped to the range. A `format` for which isValueFormat holds
  // replaces the current one; an empty one keeps it.
  void SetValue(float x, bool noClamp = false, bool force = false, std::string_view format = {});
  // What Enter does: a whole number within the range becomes the value
  // (Entered); anything else restores the text of the value (Idle).
  void Commit() override;

 protected:
  void focusInEvent(QFocusEvent *event) override;
  void focusOutEvent(QFocusEvent *event) override;
  void keyPressEvent(QKeyEvent *event) override;

 private:
  void showValue() override;

  std::string format_ = "%g";
};

}  // namespace dialogs
