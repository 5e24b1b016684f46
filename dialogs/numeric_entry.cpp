#include "dialogs/numeric_entry.h"

#include <locale.h>

#include <QFocusEvent>
#include <QKeyEvent>
#include <QWidget>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <string>

#include "dialogs/numeric_combo.h"
#include "dialogs/numeric_edit.h"
#include "ui/custom_widget.h"

namespace dialogs {

namespace {

locale_t cLocale() {
  static const locale_t c = ::newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
  return c;
}

// The nearest float32; beyond its range an infinity rather than undefined
// behaviour.
float toFloat32(double v) {
  constexpr double kMax = std::numeric_limits<float>::max();
  if (v > kMax) return std::numeric_limits<float>::infinity();
  if (v < -kMax) return -std::numeric_limits<float>::infinity();
  return static_cast<float>(v);
}

// Skips a width or precision of at most two digits; false for more.
bool skipDigits(std::string_view f, size_t &i) {
  size_t digits = 0;
  for (; i < f.size() && f[i] >= '0' && f[i] <= '9'; ++i)
    ++digits;
  return digits <= 2;
}

}  // namespace

std::optional<float> NumericEntry::takeEntered() {
  if (state_ != EntryState::Entered) return std::nullopt;
  state_ = EntryState::Idle;
  return value_;
}

float NumericEntry::clamped(float x) const {
  if (x < minimum_) return minimum_;
  if (x > maximum_) return maximum_;
  return x;
}

bool NumericEntry::isPopupFocus(const QFocusEvent *event) {
  return event->reason() == Qt::PopupFocusReason;
}

void NumericEntry::focusEntered(const QFocusEvent *event) {
  if (!isPopupFocus(event)) state_ = EntryState::Editing;
}

bool NumericEntry::enterOrEscape(QWidget &control, QKeyEvent *event) {
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    Commit();
  } else if (event->key() == Qt::Key_Escape) {
    state_ = EntryState::Idle;
    showValue();
  } else {
    return false;
  }
  control.window()->setFocus(Qt::OtherFocusReason);
  event->accept();
  return true;
}

bool parseWholeNumber(const QString &text, float &x) {
  const std::string bytes = text.toStdString();
  const char *begin = bytes.c_str();
  char *end = nullptr;
  const double v = ::strtod_l(begin, &end, cLocale());
  // With no conversion strtod leaves end at the start: the empty text counts
  // as used up (it reads 0), blanks alone do not.
  if (end != begin + bytes.size() || std::isnan(v)) return false;
  x = toFloat32(v);
  return true;
}

bool isValueFormat(std::string_view f) {
  int conversions = 0;
  for (size_t i = 0; i < f.size(); ++i) {
    if (f[i] != '%') continue;
    if (++i < f.size() && f[i] == '%') continue;
    while (i < f.size() && std::string_view("-+ #0").find(f[i]) != std::string_view::npos)
      ++i;
    if (!skipDigits(f, i)) return false;
    if (i < f.size() && f[i] == '.' && !skipDigits(f, ++i)) return false;
    if (i < f.size() && f[i] == 'l') ++i;
    if (i >= f.size() || std::string_view("fFeEgGaA").find(f[i]) == std::string_view::npos) {
      return false;
    }
    ++conversions;
  }
  return conversions == 1;
}

QString formatValue(std::string_view format, double value) {
  const std::string f = isValueFormat(format) ? std::string(format) : std::string("%g");
  const locale_t previous = ::uselocale(cLocale());
  // The format has been checked to take exactly one double.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
  const int n = std::snprintf(nullptr, 0, f.c_str(), value);
  std::string out(n > 0 ? static_cast<size_t>(n) : 0, '\0');
  if (n > 0) std::snprintf(out.data(), out.size() + 1, f.c_str(), value);
#pragma GCC diagnostic pop
  ::uselocale(previous);
  return QString::fromStdString(out);
}

void registerNumericControls() {
  ui::registerWidget("CEdit1", [](QWidget *parent) -> QWidget * { return new CEdit1(parent); });
  ui::registerWidget("CComboF", [](QWidget *parent) -> QWidget * { return new CComboF(parent); });
}

}  // namespace dialogs
