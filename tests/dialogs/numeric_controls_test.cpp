// CEdit1 and CComboF in a small dialog, driven with real mouse clicks and key
// presses sent to whatever holds the focus.
#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <functional>
#include <memory>
#include <vector>

#include "dialogs/numeric_combo.h"
#include "dialogs/numeric_edit.h"
#include "tests/support/dialog_driver.h"
#include "tests/support/qt_app.h"
#include "ui/dialog.h"

namespace dialogs {
namespace {

constexpr int kNote = 1041;   // a plain edit, first in the tab order
constexpr int kEdit = 1040;   // CEdit1
constexpr int kCombo = 1046;  // CComboF

constexpr ui::ControlTemplate kControls[] = {
    {ui::Kind::Static, ui::kNoId, "Заметка:", {8, 10, 70, 8}},
    {ui::Kind::Edit, kNote, "", {80, 8, 60, 12}},
    {ui::Kind::Static, ui::kNoId, "Напряжение Us, В:", {8, 28, 70, 8}},
    {ui::Kind::Custom, kEdit, "", {80, 26, 60, 12}, ui::NoStyle, "CEdit1"},
    {ui::Kind::Static, ui::kNoId, "Частота, Гц:", {8, 46, 70, 8}},
    {ui::Kind::Custom, kCombo, "", {80, 44, 60, 60}, ui::NoStyle, "CComboF"},
    {ui::Kind::DefPushButton, 1, "OK", {30, 70, 50, 14}},
    {ui::Kind::PushButton, 2, "Cancel", {90, 70, 50, 14}},
};
constexpr ui::DialogTemplate kDialog{900,           "Числа",     {150, 90},
                                     {"Arial", 12}, ui::SysMenu, kControls};

// The dialog, shown; it records the commands it gets.
class NumberDialog : public ui::Dialog {
 public:
  NumberDialog() : ui::Dialog(kDialog) {}
  std::vector<int> commands;

 protected:
  void onCommand(int id, ui::Notification n) override {
    if (n == ui::Notification::Clicked) commands.push_back(id);
    ui::Dialog::onCommand(id, n);
  }
};

class NumericControls : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    testsupport::qtApp();
    registerNumericControls();
  }

  void SetUp() override {
    dialog_ = std::make_unique<NumberDialog>();
    edit_ = dialog_->control<CEdit1>(kEdit);
    combo_ = dialog_->control<CComboF>(kCombo);
    ASSERT_NE(edit_, nullptr);
    ASSERT_NE(combo_, nullptr);
    edit_->setRange(0.1f, 10.0f);
    edit_->SetValue(1.5f);
    combo_->setRange(1.0f, 10000.0f);
    combo_->addItems({"40", "160", "700"});
    combo_->SetValue(160.0f);
    dialog_->showModeless();
    ASSERT_TRUE(QTest::qWaitForWindowActive(dialog_.get()));
    ASSERT_EQ(QApplication::focusWidget(), dialog_->item(kNote));
  }

  void TearDown() override { dialog_.reset(); }

  static QWidget *focus() { return QApplication::focusWidget(); }

  // The user clicks into a control's text.
  void clickInto(QWidget *w) {
    QWidget *target = w;
    if (auto *cb = qobject_cast<QComboBox *>(w)) target = cb->lineEdit();
    QTest::mouseClick(target, Qt::LeftButton, Qt::NoModifier, QPoint(5, target->height() / 2));
  }
  // Replaces the text of the focused control by typing.
  void retype(const QString &text) {
    QTest::keyClick(focus(), Qt::Key_A, Qt::ControlModifier);
    if (text.isEmpty()) {
      QTest::keyClick(focus(), Qt::Key_Backspace);
    } else {
      QTest::keyClicks(focus(), text);
    }
  }
  void press(Qt::Key key) { QTest::keyClick(focus(), key); }

  std::unique_ptr<NumberDialog> dialog_;
  CEdit1 *edit_ = nullptr;
  CComboF *combo_ = nullptr;
};

TEST_F(NumericControls, TemplatesNameThemAndTheyCarryTheirLabels) {
  EXPECT_TRUE(testsupport::unnamedControls(*dialog_).empty());
  EXPECT_EQ(edit_->accessibleName(), "Напряжение Us, В");
  EXPECT_EQ(combo_->accessibleName(), "Частота, Гц");
  // The combo box keeps its closed height; the template's includes the list.
  EXPECT_LT(combo_->height(), dialog_->units().toPixels(ui::Rect{0, 0, 60, 60}).height() / 2);
  EXPECT_EQ(edit_->text(), "1.5");
  EXPECT_EQ(combo_->currentText(), "160");
}

struct EntryCase {
  const char *name;
  float minimum, maximum;
  QString typed;
  Qt::Key key;
  QString text;  // shown afterwards
  EntryState state;
  float value;
};

TEST_F(NumericControls, EditCommitsWholeNumbersInRangeAndRestoresTheRest) {
  const EntryCase cases[] = {
      {"in range", 0.1f, 10.0f, "5", Qt::Key_Return, "5", EntryState::Entered, 5.0f},
      {"keypad Enter", 0.1f, 10.0f, "5", Qt::Key_Enter, "5", EntryState::Entered, 5.0f},
      {"above the range", 0.1f, 10.0f, "12", Qt::Key_Return, "1.5", EntryState::Idle, 1.5f},
      {"below the range", 0.1f, 10.0f, "0.05", Qt::Key_Return, "1.5", EntryState::Idle, 1.5f},
      {"lower bound", 0.1f, 10.0f, "0.1", Qt::Key_Return, "0.1", EntryState::Entered, 0.1f},
      {"upper bound, exponent", 0.1f, 10.0f, "1e1", Qt::Key_Return, "10", EntryState::Entered,
       10.0f},
      {"leading blanks", 0.1f, 10.0f, "  7", Qt::Key_Return, "7", EntryState::Entered, 7.0f},
      {"trailing blank", 0.1f, 10.0f, "7 ", Qt::Key_Return, "1.5", EntryState::Idle, 1.5f},
      {"decimal comma", 0.1f, 10.0f, "1,5", Qt::Key_Return, "1.5", EntryState::Idle, 1.5f},
      {"letters", 0.1f, 10.0f, "abc", Qt::Key_Return, "1.5", EntryState::Idle, 1.5f},
      {"not a number", 0.1f, 10.0f, "nan", Qt::Key_Return, "1.5", EntryState::Idle, 1.5f},
      {"infinity", 0.1f, 10.0f, "inf", Qt::Key_Return, "1.5", EntryState::Idle, 1.5f},
      {"empty is 0, out of range", 0.1f, 10.0f, "", Qt::Key_Return, "1.5", EntryState::Idle, 1.5f},
      {"empty is 0, in range", 0.0f, 10.0f, "", Qt::Key_Return, "0", EntryState::Entered, 0.0f},
      {"Escape restores", 0.1f, 10.0f, "7", Qt::Key_Escape, "1.5", EntryState::Idle, 1.5f},
  };
  for (const EntryCase &c : cases) {
    SCOPED_TRACE(c.name);
    SetUp();
    edit_->setRange(c.minimum, c.maximum);
    clickInto(edit_);
    ASSERT_EQ(focus(), edit_);
    EXPECT_EQ(edit_->state(), EntryState::Editing);
    retype(c.typed);
    press(c.key);
    EXPECT_EQ(edit_->text(), c.text);
    EXPECT_EQ(edit_->state(), c.state);
    EXPECT_EQ(edit_->value(), c.value);
    // The key went no further: the dialog is open and heard no command; the
    // focus is on the dialog itself.
    EXPECT_FALSE(dialog_->isEnded());
    EXPECT_TRUE(dialog_->commands.empty());
    EXPECT_EQ(focus(), dialog_.get());
  }
}

TEST_F(NumericControls, ComboClampsWholeNumbersAndRestoresTheRest) {
  const EntryCase cases[] = {
      {"in range", 1, 10000, "700", Qt::Key_Return, "700", EntryState::Entered, 700.0f},
      {"the start of a row is no row", 1, 10000, "7", Qt::Key_Return, "7", EntryState::Entered,
       7.0f},
      {"above: clamped", 1, 10000, "20000", Qt::Key_Return, "10000", EntryState::Entered, 10000.0f},
      {"below: clamped", 1, 10000, "0.5", Qt::Key_Return, "1", EntryState::Entered, 1.0f},
      {"infinity: clamped", 1, 10000, "inf", Qt::Key_Return, "10000", EntryState::Entered,
       10000.0f},
      {"empty is 0: clamped", 1, 10000, "", Qt::Key_Return, "1", EntryState::Entered, 1.0f},
      {"trailing blank", 1, 10000, "12 ", Qt::Key_Return, "160", EntryState::Idle, 160.0f},
      {"decimal comma", 1, 10000, "1,5", Qt::Key_Return, "160", EntryState::Idle, 160.0f},
      {"not a number", 1, 10000, "nan", Qt::Key_Return, "160", EntryState::Idle, 160.0f},
      {"Escape restores", 1, 10000, "700", Qt::Key_Escape, "160", EntryState::Idle, 160.0f},
  };
  for (const EntryCase &c : cases) {
    SCOPED_TRACE(c.name);
    SetUp();
    clickInto(combo_);
    ASSERT_EQ(focus(), combo_);
    EXPECT_EQ(combo_->state(), EntryState::Editing);
    retype(c.typed);
    press(c.key);
    EXPECT_EQ(combo_->currentText(), c.text);
    EXPECT_EQ(combo_->state(), c.state);
    EXPECT_EQ(combo_->value(), c.value);
    EXPECT_FALSE(dialog_->isEnded());
    EXPECT_TRUE(dialog_->commands.empty());
    EXPECT_EQ(focus(), dialog_.get());
  }
}

TEST_F(NumericControls, AfterEnterTheDialogsOwnEnterPressesTheDefaultButton) {
  clickInto(edit_);
  retype("5");
  press(Qt::Key_Return);
  ASSERT_FALSE(dialog_->isEnded());
  press(Qt::Key_Return);  // now the dialog has the focus
  EXPECT_TRUE(dialog_->isEnded());
  EXPECT_EQ(dialog_->commands, std::vector<int>{1});
}

TEST_F(NumericControls, OwnerUpdatesWaitForTheUsersEntry) {
  // Editing: held off, unless forced.
  clickInto(edit_);
  retype("7");
  edit_->SetValue(3.0f);
  EXPECT_EQ(edit_->text(), "7");
  EXPECT_EQ(edit_->value(), 1.5f);

  // Left without Enter: idle again, the typed text stays until the next update.
  clickInto(dialog_->item(kNote));
  EXPECT_EQ(edit_->state(), EntryState::Idle);
  EXPECT_EQ(edit_->text(), "7");
  EXPECT_EQ(edit_->value(), 1.5f);
  edit_->SetValue(3.0f);
  EXPECT_EQ(edit_->text(), "3");

  // Committed: held off until the owner takes the value.
  clickInto(edit_);
  retype("4");
  press(Qt::Key_Return);
  edit_->SetValue(2.0f);
  EXPECT_EQ(edit_->text(), "4");
  EXPECT_EQ(edit_->takeEntered(), std::optional<float>(4.0f));
  EXPECT_EQ(edit_->state(), EntryState::Idle);
  EXPECT_EQ(edit_->takeEntered(), std::nullopt);
  edit_->SetValue(2.0f);
  EXPECT_EQ(edit_->text(), "2");

  // A committed value stays committed when the focus leaves, and entering
  // again makes it an entry in progress.
  clickInto(edit_);
  retype("6");
  press(Qt::Key_Return);
  clickInto(dialog_->item(kNote));
  EXPECT_EQ(edit_->state(), EntryState::Entered);
  clickInto(edit_);
  EXPECT_EQ(edit_->state(), EntryState::Editing);

  // Forced: applied at once, while the user edits too.
  edit_->SetValue(8.0f, false, true);
  EXPECT_EQ(edit_->text(), "8");
  EXPECT_EQ(edit_->value(), 8.0f);

  // Escape: idle, updates apply again.
  press(Qt::Key_Escape);
  edit_->SetValue(9.0f);
  EXPECT_EQ(edit_->text(), "9");
}

// An owner whose live data went away drops the entry in progress (the
// calibration dialogs show "*****" then); what the user goes on typing there
// is an entry again, not overwritten by the owner's next update.
TEST_F(NumericControls, TypingAfterTheOwnerDroppedTheEntryHoldsUpdatesOffAgain) {
  struct Case {
    const char *name;
    NumericEntry *entry;
    QWidget *control;
    std::function<void(float)> update;
    std::function<QString()> text;
  };
  const auto cases = [&] {
    return std::vector<Case>{
        {"edit", edit_, edit_, [&](float x) { edit_->SetValue(x); }, [&] { return edit_->text(); }},
        {"combo", combo_, combo_, [&](float x) { combo_->SetValue(x); },
         [&] { return combo_->currentText(); }},
    };
  };
  for (std::size_t i = 0; i < cases().size(); ++i) {
    SetUp();
    const Case c = cases()[i];
    SCOPED_TRACE(c.name);
    clickInto(c.control);
    retype("5");
    c.entry->setState(EntryState::Idle);  // the owner drops it
    retype("7");
    EXPECT_EQ(c.entry->state(), EntryState::Editing);
    c.update(3.0f);
    EXPECT_EQ(c.text(), "7");
    press(Qt::Key_Return);
    EXPECT_EQ(c.entry->takeEntered(), std::optional<float>(7.0f));

    // The owner's own text is no typing: idle, updates apply.
    c.entry->setState(EntryState::Idle);
    c.update(4.0f);
    EXPECT_EQ(c.text(), "4");
    EXPECT_EQ(c.entry->state(), EntryState::Idle);
  }
}

TEST_F(NumericControls, EditValuesAreClampedUnlessToldNotTo) {
  struct Case {
    float x;
    bool noClamp;
    float value;
    QString text;
  };
  const Case cases[] = {
      {20.0f, false, 10.0f, "10"}, {-1.0f, false, 0.1f, "0.1"}, {20.0f, true, 20.0f, "20"},
      {-1.0f, true, -1.0f, "-1"},  {2.5f, false, 2.5f, "2.5"},
  };
  for (const Case &c : cases) {
    edit_->SetValue(c.x, c.noClamp);
    EXPECT_EQ(edit_->value(), c.value) << c.x << " " << c.noClamp;
    EXPECT_EQ(edit_->text(), c.text) << c.x << " " << c.noClamp;
  }
  combo_->SetValue(0.0f);
  EXPECT_EQ(combo_->currentText(), "1");
  combo_->SetValue(0.0f, true);
  EXPECT_EQ(combo_->currentText(), "0");
}

TEST_F(NumericControls, EditFormats) {
  edit_->SetValue(1.5f, true, false, "%.3f");
  EXPECT_EQ(edit_->text(), "1.500");
  clickInto(edit_);
  retype("5");
  press(Qt::Key_Return);
  EXPECT_EQ(edit_->text(), "5.000");  // the format stays
  EXPECT_EQ(edit_->takeEntered(), std::optional<float>(5.0f));

  // A format that would not take one double is ignored.
  edit_->SetValue(2.25f, true, false, "%s");
  EXPECT_EQ(edit_->format(), "%.3f");
  EXPECT_EQ(edit_->text(), "2.250");
  edit_->SetValue(2.25f, true, false, "%6.1f mm");
  EXPECT_EQ(edit_->text(), "   2.2 mm");
}

TEST_F(NumericControls, LeavingTheComboCommitsWhatWasTyped) {
  clickInto(combo_);
  retype("700");
  clickInto(dialog_->item(kNote));
  EXPECT_EQ(combo_->state(), EntryState::Entered);
  EXPECT_EQ(combo_->value(), 700.0f);
  combo_->SetValue(40.0f);  // held off until taken
  EXPECT_EQ(combo_->currentText(), "700");
  EXPECT_EQ(combo_->takeEntered(), std::optional<float>(700.0f));

  // A text that is no number is restored when leaving.
  clickInto(combo_);
  retype("x");
  clickInto(dialog_->item(kNote));
  EXPECT_EQ(combo_->state(), EntryState::Idle);
  EXPECT_EQ(combo_->currentText(), "700");
}

TEST_F(NumericControls, ARowPickedFromTheListIsCommitted) {
  clickInto(combo_);
  combo_->showPopup();
  QAbstractItemView *view = combo_->view();
  ASSERT_TRUE(testsupport::waitUntil([&] { return view->isVisible(); }));
  const QRect row = view->visualRect(combo_->model()->index(0, 0));
  QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::NoModifier, row.center());
  ASSERT_TRUE(testsupport::waitUntil([&] { return !view->isVisible(); }));
  EXPECT_EQ(combo_->currentText(), "40");
  EXPECT_EQ(combo_->value(), 40.0f);
  EXPECT_EQ(combo_->state(), EntryState::Entered);
  EXPECT_EQ(focus(), combo_);

  // The arrow keys pick the next row.
  combo_->setState(EntryState::Idle);
  press(Qt::Key_Down);
  EXPECT_EQ(combo_->value(), 160.0f);
  EXPECT_EQ(combo_->state(), EntryState::Entered);
}

}  // namespace
}  // namespace dialogs
