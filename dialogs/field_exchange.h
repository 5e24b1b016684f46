// The field exchange of the parameter dialogs: members are written into their
// controls when a dialog opens, and read back with validation when the user
// confirms it. A dialog lists its fields once, in order, and the same list
// serves both directions:
//
//   void exchangeFields(dialogs::FieldExchange &fx) {
//     fx.field(1036, address, 0, 247);  // whole number, "%u", 0-255 then 0-247
//     fx.list(1035, speedIndex);        // selected row, -1 for none
//   }
//
// Reading stops at the first failure: the members read before it keep their
// new values, the failing member keeps its value unless only its range test
// failed (then it holds the value read), later members are untouched. The
// failure names the control and the message to show.
//
// Plain code: controls are reached through FieldAccess, so the rules run and
// are tested without widgets. dialogs/field_dialog.h binds them to ui::Dialog
// and shows the message.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace dialogs {

// The controls of one dialog, by id.
class FieldAccess {
 public:
  virtual ~FieldAccess() = default;
  // Text of an edit (UTF-8).
  virtual std::string text(int id) const = 0;
  virtual void setText(int id, const std::string &text) = 0;
  // Selected row of a list, -1 when none.
  virtual int selectedRow(int id) const = 0;
  // Selects row; a row the list does not have leaves it without a selection.
  virtual void selectRow(int id, int row) = 0;
};

enum class Direction {
  ToControls,    // members to controls; no checks
  FromControls,  // controls to members, with validation
};

struct FieldFailure {
  int id;               // the control to focus
  std::string message;  // the text to show
};

// The texts of a failure; %1 and %2 stand for the bounds.
inline constexpr std::string_view kMsgByte = "Enter an integer between 0 and 255.";
inline constexpr std::string_view kMsgUnsigned = "Enter a positive integer.";
inline constexpr std::string_view kMsgNumber = "Enter a number.";
inline constexpr std::string_view kMsgNumberRange = "Enter a number between %1 and %2.";
inline constexpr std::string_view kMsgIntegerRange = "Enter an integer between %1 and %2.";

// How many characters of an edit's text are read: whole numbers, floats.
inline constexpr std::size_t kWholeTextLimit = 63;
inline constexpr std::size_t kFloatTextLimit = 399;
// Significant digits of a float written into its control.
inline constexpr int kFloatDigits = 6;

class FieldExchange {
 public:
  FieldExchange(FieldAccess &controls, Direction direction)
      : controls_(controls), direction_(direction) {}

  Direction direction() const { return direction_; }
  bool reading() const { return direction_ == Direction::FromControls; }
  // True until a field fails; a failed pass ignores the fields after it.
  bool ok() const { return !failure_; }
  const std::optional<FieldFailure> &failure() const { return failure_; }

  // Whole number 0-255 ("%u"), then within lo-hi.
  void field(int id, uint8_t &value, uint8_t lo, uint8_t hi);
  // Whole number ("%lu"); a minus sign wraps modulo 2^32.
  void field(int id, uint32_t &value);
  // 32-bit float ("%lf" read, "%.*g" at 6 digits written), unbounded or
  // within lo-hi (compared as floats).
  void field(int id, float &value);
  void field(int id, float &value, float lo, float hi);
  // Selected row of a list, -1 for none; unchecked or within lo-hi.
  void list(int id, int &row);
  void list(int id, int &row, int lo, int hi);

 private:
  void fail(int id, std::string message);
  bool readFloat(int id, float &value);

  FieldAccess &controls_;
  Direction direction_;
  std::optional<FieldFailure> failure_;
};

// ---- The text rules, for the exchange and for whoever shows numbers alike ----

// Scans a whole number as "%u" does: leading blanks skipped, an optional
// sign, the leading decimal digits; the rest ignored. Digits beyond 32 bits
// and a minus sign wrap modulo 2^32. Reads at most kWholeTextLimit characters.
std::optional<uint32_t> scanWhole(std::string_view text);

// Scans a decimal number as "%lf" does (leading blanks skipped, the leading
// number taken, the rest ignored), at most kFloatTextLimit characters, and
// converts it to a 32-bit float. Nothing when no number can be read or when
// it has no finite float value ("nan", "inf", 1e39).
std::optional<float> scanFloat(std::string_view text);

// "%.*g" with kFloatDigits significant digits, decimal point in every locale.
std::string formatFloat(double value);

// A message with %1 and %2 replaced.
std::string fillMessage(std::string_view message, std::string_view first, std::string_view second);

}  // namespace dialogs
