#include "dialogs/numeric_combo.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QLineEdit>

namespace dialogs {

CComboF::CComboF(QWidget *parent) : QComboBox(parent) {
  setEditable(true);
  setInsertPolicy(QComboBox::NoInsert);
  // What is typed is the number: no completion to a row that starts alike.
  setCompleter(nullptr);
  connect(lineEdit(), &QLineEdit::textEdited, this, [this] { typedWithFocus(hasFocus()); });
  // Connected before the dialog connects its own notifications, so the
  // value is committed when the dialog hears of the choice.
  connect(this, &QComboBox::activated, this, [this](int row) {
    if (leaving_) return;
    setEditText(itemText(row));
    Commit();
  });
}

void CComboF::SetValue(float x, bool noClamp, bool force) {
  if (!takesUpdate(force)) return;
  value_ = noClamp ? x : clamped(x);
  showValue();
}

void CComboF::Commit() {
  float x = 0.0f;
  if (parseWholeNumber(currentText(), x)) {
    SetValue(x, false, true);
    state_ = EntryState::Entered;
  } else {
    showValue();
    state_ = EntryState::Idle;
  }
}

void CComboF::showValue() {
  const QString t = formatValue("%g", value_);
  if (currentText() != t) setEditText(t);
}

void CComboF::focusInEvent(QFocusEvent *event) {
  focusEntered(event);
  QComboBox::focusInEvent(event);
}

void CComboF::focusOutEvent(QFocusEvent *event) {
  if (!isPopupFocus(event) && state_ != EntryState::Idle) Commit();
  // Leaving, the edit part reports a text that matches a row as that row
  // picked; no row was picked.
  leaving_ = true;
  QComboBox::focusOutEvent(event);
  leaving_ = false;
}

void CComboF::keyPressEvent(QKeyEvent *event) {
  if (!enterOrEscape(*this, event)) QComboBox::keyPressEvent(event);
}

}  // namespace dialogs
