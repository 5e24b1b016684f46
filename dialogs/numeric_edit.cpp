#include "dialogs/numeric_edit.h"

#include <QFocusEvent>
#include <QKeyEvent>

namespace dialogs {

CEdit1::CEdit1(QWidget *parent) : QLineEdit(parent) {}

void CEdit1::setRange(float minimum, float maximum) {
  minimum_ = minimum;
  maximum_ = maximum;
}

std::optional<float> CEdit1::takeEntered() {
  if (state_ != EntryState::Entered) return std::nullopt;
  state_ = EntryState::Idle;
  return value_;
}

void CEdit1::SetValue(float x, bool noClamp, bool force, std::string_view format) {
  if (!force && state_ != EntryState::Idle) return;
  if (!format.empty()) {
    if (isValueFormat(format)) {
      format_ = format;
    } else {
      qWarning("CEdit1 %s: '%.*s' is no format for a value", qPrintable(objectName()),
               static_cast<int>(format.size()), format.data());
    }
  }
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

void CEdit1::Commit() {
  float x = 0.0f;
  if (parseWholeNumber(text(), x) && minimum_ <= x && x <= maximum_) {
    SetValue(x, true, true);
    state_ = EntryState::Entered;
  } else {
    showValue();
    state_ = EntryState::Idle;
  }
}

void CEdit1::showValue() {
  const QString t = formatValue(format_, value_);
  if (text() != t) setText(t);
}

// The focus going to a popup of this control (its context menu) and coming
// back from it is no leaving and no entering.

void CEdit1::focusInEvent(QFocusEvent *event) {
  if (event->reason() != Qt::PopupFocusReason) state_ = EntryState::Editing;
  QLineEdit::focusInEvent(event);
}

void CEdit1::focusOutEvent(QFocusEvent *event) {
  if (event->reason() != Qt::PopupFocusReason && state_ == EntryState::Editing) {
    state_ = EntryState::Idle;
  }
  QLineEdit::focusOutEvent(event);
}

void CEdit1::keyPressEvent(QKeyEvent *event) {
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
      QLineEdit::keyPressEvent(event);
  }
}

}  // namespace dialogs
