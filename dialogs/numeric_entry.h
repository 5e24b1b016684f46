// What the numeric input controls CEdit1 and CComboF share: their entry state,
// the conversion of a typed text to a number and of a value to its text, and
// their registration for dialog templates. Numbers are read and written with
// a decimal point whatever the locale.
#pragma once

#include <QString>
#include <optional>
#include <string_view>

class QFocusEvent;
class QKeyEvent;
class QWidget;

namespace dialogs {

// The protocol between the user, a numeric control and its owner.
enum class EntryState : int {
  Idle = 0,     // the owner may update the value
  Editing = 1,  // the control has the focus: the owner's updates are held off
  Entered = 2,  // the user committed a value the owner has not taken yet
};

// The value, range and entry state of a numeric control, and the rules both
// controls share. The owner sets the range, reads value and state, and takes
// committed values.
class NumericEntry {
 public:
  virtual ~NumericEntry() = default;

  // The values a user may commit (CEdit1) or the clamp bounds (CComboF), both
  // included; 0 .. 0 at first.
  void setRange(float minimum, float maximum) {
    minimum_ = minimum;
    maximum_ = maximum;
  }
  float minimum() const { return minimum_; }
  float maximum() const { return maximum_; }
  float value() const { return value_; }

  EntryState state() const { return state_; }
  // The owner sets Idle after taking a committed value.
  void setState(EntryState s) { state_ = s; }
  // The committed value, if there is one; the state goes back to Idle.
  std::optional<float> takeEntered();

  // What Enter does: the typed text becomes the value (Entered) or is
  // restored (Idle), by the control's rule.
  virtual void Commit() = 0;

 protected:
  // Rewrites the text from the value.
  virtual void showValue() = 0;
  // The focus came in, not back from the control's popup: the user edits.
  void focusEntered(const QFocusEvent *event);
  // The user changed the text of the focused control: an entry in progress,
  // also where the owner dropped the previous one while the focus stayed
  // (an owner that lost its live data), so its updates do not overwrite the
  // typing.
  void typedWithFocus(bool focused) {
    if (focused) state_ = EntryState::Editing;
  }
  // Enter commits, Escape drops the entry and restores the text; both end
  // with the focus on the dialog, and the key goes no further: it neither
  // presses the default button nor closes the dialog. False for other keys,
  // which are the widget's.
  bool enterOrEscape(QWidget &control, QKeyEvent *event);

  // An owner's update applies when forced or while no entry of the user's is
  // in progress or pending.
  bool takesUpdate(bool force) const { return force || state_ == EntryState::Idle; }
  // x, or the bound it lies beyond.
  float clamped(float x) const;
  // The focus going to a popup of the control (its list, a context menu) and
  // coming back from it is no leaving and no entering.
  static bool isPopupFocus(const QFocusEvent *event);

  float minimum_ = 0.0f;
  float maximum_ = 0.0f;
  float value_ = 0.0f;
  EntryState state_ = EntryState::Idle;
};

// The text as one number, the way the C library's strtod reads it in the C
// locale (leading blanks skipped, exponents, "inf"), narrowed to a float32:
// true only when the conversion used the whole text. The empty text reads as
// 0; blanks alone, trailing characters and not-a-number do not read.
bool parseWholeNumber(const QString &text, float &x);

// True for a printf format that turns one double into text: literal text, %%,
// and exactly one conversion f, F, e, E, g, G, a or A with flags, and width
// and precision of at most two digits each (an 'l' before it is allowed).
bool isValueFormat(std::string_view format);

// The value formatted with a format for which isValueFormat holds, as printf
// in the C locale does; "%g" for any other format.
QString formatValue(std::string_view format, double value);

// Registers CEdit1 and CComboF for templates (ui::Kind::Custom with class
// names "CEdit1" and "CComboF"). Call once at start, before the first dialog
// that names them; further calls do no harm.
void registerNumericControls();

}  // namespace dialogs
