#include "dialogs/numeric_edit.h"

#include <QFocusEvent>
#include <QKeyEvent>

namespace dialogs {

CEdit1::CEdit1(QWidget *parent) : QLineEdit(parent) {
  connect(this, &QLineEdit::textEdited, this, [this] { typedWithFocus(hasFocus()); });
}

void CEdit1::SetValue(float x, bool noClamp, bool force, std::string_view format) {
  if (!takesUpdate(force)) return;
  if (!format.empty()) {
    if (isValueFormat(format)) {
      format_ = format;
    } else {
      qWarning("CEdit1 %s: '%.*s' is no format for a value", qPrintable(objectName()),
               static_cast<int>(format.size()), format.data());
    }
  }
  value_ = noClamp ? x : clamped(x);
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

void CEdit1::focusInEvent(QFocusEvent *event) {
  focusEntered(event);
  QLineEdit::focusInEvent(event);
}

void CEdit1::focusOutEvent(QFocusEvent *event) {
  // The typed text stays as it is, not evaluated; a committed value stays committed.
  if (!isPopupFocus(event) && state_ == EntryState::Editing) state_ = EntryState::Idle;
  QLineEdit::focusOutEvent(event);
}

void CEdit1::keyPressEvent(QKeyEvent *event) {
  if (!enterOrEscape(*this, event)) QLineEdit::keyPressEvent(event);
}

}  // namespace dialogs
