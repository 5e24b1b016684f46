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
  // Connected before the dialog connects its own notifications, so the
  // value is committed when the dialog hears of the choice.
  connect(this, &QComboBox::activated, this, [this](int row) {
    if (leaving_) return;
    setEditText(itemText(row));
    Commit();
  });
}

void CComboF::setRange(float minimum, float maximum) {
  minimum_ = minimum;
  maximum_ = maximum;
}

std::optional<float> CComboF::takeEntered() {
  if (state_ != EntryState::Entered) return std::nullopt;
  state_ = EntryState::Idle;
  return value_;
}

void CComboF::SetValue(float x, bool noClamp, bool force) {
  if (!force && state_ != EntryState::Idle) return;
  if (!noClamp) {
    if (x < minimum_) {
      x = minimum_;
    } else if (x > maximum_) {
      x = maximum_;
    }
  }
  value_ = x;
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

// The focus going to the dropped-down list and coming back from it is no
// leaving and no entering.

void CComboF::focusInEvent(QFocusEvent *event) {
  if (event->reason() != Qt::PopupFocusReason) state_ = EntryState::Editing;
  QComboBox::focusInEvent(event);
}

void CComboF::focusOutEvent(QFocusEvent *event) {
  if (event->reason() != Qt::PopupFocusReason && state_ != EntryState::Idle) Commit();
  // Leaving, the edit part reports a text that matches a row as that row
  // picked; no row was picked.
  leaving_ = true;
  QComboBox::focusOutEvent(event);
  leaving_ = false;
}

void CComboF::keyPressEvent(QKeyEvent *event) {
  switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
      Commit();
      window()->setFocus(Qt::OtherFocusReason);
      event->accept();
      return;
    case Qt::Key_Escape:
      state_ = EntryState::Idle;
      showValue();
      window()->setFocus(Qt::OtherFocusReason);
      event->accept();
      return;
    default:
      QComboBox::keyPressEvent(event);
  }
}

}  // namespace dialogs
