// A parameter dialog whose members are exchanged with its controls
// (dialogs/field_exchange.h): written into them when it opens, read back
// with validation when the user presses "Сменить" (id 1). A failure shows
// its message in a message box with an exclamation mark (ui::prompts()),
// moves the focus to the failing control with its whole text selected, and
// keeps the dialog open.
//
//   class CChND : public dialogs::FieldDialog {
//    public:
//     uint32_t number = 0;
//    protected:
//     void exchangeFields(dialogs::FieldExchange &fx) override { fx.field(1040, number); }
//   };
#pragma once

#include "dialogs/field_exchange.h"
#include "ui/dialog.h"

namespace dialogs {

// The controls of a ui::Dialog as the field exchange reaches them: edits by
// their text, combo boxes by their selected row.
class DialogFields : public FieldAccess {
 public:
  explicit DialogFields(ui::Dialog &dialog) : dialog_(dialog) {}
  std::string text(int id) const override;
  void setText(int id, const std::string &text) override;
  int selectedRow(int id) const override;
  void selectRow(int id, int row) override;

 private:
  ui::Dialog &dialog_;
};

class FieldDialog : public ui::Dialog {
 public:
  using ui::Dialog::Dialog;

  // Runs one pass in the given direction. Reading, a failure is shown to the
  // user as described above; returns whether the pass completed.
  bool updateData(Direction direction);

 protected:
  // The dialog's fields in their order; called for both directions.
  virtual void exchangeFields(FieldExchange &fx) = 0;

  // Members to controls.
  void onInit() override;
  // "Сменить" (1) closes the dialog only after a complete, valid pass.
  void onCommand(int id, ui::Notification n) override;

  // True while a pass runs: edits changed by it notify Changed as the user's
  // typing does, and handlers of such edits can tell the two apart.
  bool exchanging() const { return exchanging_; }

 private:
  void showFailure(const FieldFailure &failure);

  bool exchanging_ = false;
};

}  // namespace dialogs
