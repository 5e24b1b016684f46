// What the numeric input controls CEdit1 and CComboF share: their entry state,
// the conversion of a typed text to a number and of a value to its text, and
// their registration for dialog templates. Numbers are read and written with
// a decimal point whatever the locale.
#pragma once

#include <QString>
#include <string_view>

namespace dialogs {

// The protocol between the user, a numeric control and its owner.
enum class EntryState : int {
  Idle = 0,     // the owner may update the value
  Editing = 1,  // the control has the focus: the owner's updates are held off
  Entered = 2,  // the user committed a value the owner has not taken yet
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
