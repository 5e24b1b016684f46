// Commands and timers reach the dialog by id.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include "sample_dialog.h"
#include "tests/support/qt_app.h"
#include "ui/spin_button.h"

namespace {

using uitest::kSample;
using uitest::RecordingDialog;
using N = ui::Notification;
using Commands = std::vector<std::pair<int, ui::Notification>>;

class DialogCommands : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { testsupport::qtApp(); }
  void SetUp() override {
    d.endOnCommands = false;
    d.show();
  }
  RecordingDialog d{kSample};
};

TEST_F(DialogCommands, ButtonsAndCheckBoxesSendClicked) {
  QTest::mouseClick(d.control<QPushButton>(113), Qt::LeftButton);
  QTest::mouseClick(d.control<QCheckBox>(104), Qt::LeftButton);
  EXPECT_EQ(d.commands, (Commands{{113, N::Clicked}, {104, N::Clicked}}));
  EXPECT_TRUE(d.isItemChecked(104)) << "a check box ticks itself";

  d.commands.clear();
  d.setItemChecked(104, false);  // code changing a tick sends nothing
  d.enableItem(113, false);
  QTest::mouseClick(d.control<QPushButton>(113), Qt::LeftButton);  // disabled: no command
  EXPECT_TRUE(d.commands.empty());
}

TEST_F(DialogCommands, RadioButtonsOfOneGroupExcludeEachOther) {
  QTest::mouseClick(d.control<QRadioButton>(105), Qt::LeftButton);
  QTest::mouseClick(d.control<QRadioButton>(106), Qt::LeftButton);
  EXPECT_FALSE(d.isItemChecked(105));
  EXPECT_TRUE(d.isItemChecked(106));
  EXPECT_EQ(d.commands, (Commands{{105, N::Clicked}, {106, N::Clicked}}));
}

TEST_F(DialogCommands, EditChangesAreReportedAndUnchangedTextsAreLeftAlone) {
  auto *edit = d.control<QLineEdit>(101);
  edit->setFocus();
  QTest::keyClick(edit, Qt::Key_End);  // after the text, which opening selected
  QTest::keyClicks(edit, "12");
  EXPECT_EQ(d.itemText(101), "712");
  EXPECT_EQ(d.commands, (Commands{{101, N::Changed}, {101, N::Changed}}));
  d.commands.clear();
  d.setItemText(101, "712");  // same text: no change, no notification
  EXPECT_TRUE(d.commands.empty());
  d.setItemText(101, "5");
  EXPECT_EQ(d.commands, (Commands{{101, N::Changed}}));
}

TEST_F(DialogCommands, ComboSelectionAndEditPart) {
  auto *list = d.control<QComboBox>(107);
  list->addItems({"1200", "2400", "4800"});
  list->setCurrentIndex(-1);
  d.commands.clear();
  list->setFocus();
  QTest::keyClick(list, Qt::Key_Down);  // the user picks a row
  EXPECT_EQ(d.commands, (Commands{{107, N::SelectionChanged}}));
  list->setCurrentIndex(2);  // code selecting a row sends nothing
  EXPECT_EQ(d.commands.size(), 1u);

  auto *editable = d.control<QComboBox>(108);
  d.commands.clear();
  editable->setFocus();
  QTest::keyClicks(editable, "5");
  EXPECT_EQ(d.commands, (Commands{{108, N::Changed}}));
  d.setItemText(108, "100");
  EXPECT_EQ(d.itemText(108), "100");
}

TEST_F(DialogCommands, CheckListItemsReportTheirTicks) {
  auto *list = d.control<QListWidget>(109);
  auto *item = new QListWidgetItem("COM1", list);
  item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
  item->setCheckState(Qt::Unchecked);
  d.commands.clear();
  item->setCheckState(Qt::Checked);
  EXPECT_EQ(d.commands, (Commands{{109, N::Changed}}));
}

TEST_F(DialogCommands, SpinButtonStepsItsBuddyWithinItsRange) {
  auto *spin = d.control<ui::SpinButton>(102);
  spin->setRange(0, 247);
  spin->setPos(246);
  EXPECT_EQ(d.itemText(101), "246");
  d.commands.clear();
  spin->step(+1);
  spin->step(+1);  // stays at the top of the range
  EXPECT_EQ(spin->pos(), 247);
  EXPECT_EQ(d.itemText(101), "247");
  auto *edit = d.control<QLineEdit>(101);
  edit->setFocus();
  QTest::keyClick(edit, Qt::Key_Down);
  EXPECT_EQ(spin->pos(), 246);
  const auto spinCommands =
      std::count(d.commands.begin(), d.commands.end(), std::pair{102, N::Changed});
  EXPECT_EQ(spinCommands, 3);

  struct Case {
    const char *text;
    std::optional<int> pos;
  } cases[] = {{"5", 5},
               {" 12 ", 12},
               {"", std::nullopt},
               {"abc", std::nullopt},
               {"248", std::nullopt},
               {"-1", std::nullopt}};
  for (const Case &c : cases) {
    d.setItemText(101, c.text);
    EXPECT_EQ(spin->pos(), c.pos) << c.text;
  }
  spin->setPos(1000);
  EXPECT_EQ(spin->pos(), 247) << "setPos clamps";
}

TEST_F(DialogCommands, TimersTickByIdUntilStopped) {
  d.setTimer(7, 10);
  d.setTimer(9, 15);
  EXPECT_TRUE(d.isTimerActive(7));
  ASSERT_TRUE(testsupport::waitUntil([&] {
    return std::count(d.ticks.begin(), d.ticks.end(), 7) >= 3 &&
           std::count(d.ticks.begin(), d.ticks.end(), 9) >= 2;
  }));
  d.stopTimer(7);
  EXPECT_FALSE(d.isTimerActive(7));
  const auto sevens = std::count(d.ticks.begin(), d.ticks.end(), 7);
  const auto nines = std::count(d.ticks.begin(), d.ticks.end(), 9);
  ASSERT_TRUE(testsupport::waitUntil(
      [&] { return std::count(d.ticks.begin(), d.ticks.end(), 9) >= nines + 3; }));
  EXPECT_EQ(std::count(d.ticks.begin(), d.ticks.end(), 7), sevens) << "a stopped timer stays quiet";
  EXPECT_FALSE(d.isTimerActive(42));
  d.stopTimer(42);  // harmless
}

TEST_F(DialogCommands, DisablingTheFocusedControlLeavesTheFocusWithTheDialog) {
  // A button that disables itself when pressed must not pass the focus on to
  // the next control: an edit there would count as being typed in.
  for (int id : {113, 101}) {
    SCOPED_TRACE(id);
    d.item(id)->setFocus();
    ASSERT_EQ(d.focusWidget(), d.item(id));
    d.enableItem(id, false);
    EXPECT_FALSE(d.isItemEnabled(id));
    EXPECT_TRUE(d.focusWidget() == nullptr || d.focusWidget() == &d)
        << "focus went to " << d.focusWidget()->objectName().toStdString();
    d.enableItem(id, true);
  }
  // Disabling a control without the focus leaves the focus where it is.
  d.item(101)->setFocus();
  d.enableItem(113, false);
  EXPECT_EQ(d.focusWidget(), d.item(101));
  // With the focus on the dialog, Enter presses the default button.
  d.enableItem(101, false);
  d.commands.clear();
  QTest::keyClick(&d, Qt::Key_Return);
  EXPECT_EQ(d.commands, (Commands{{1, N::Clicked}}));
}

TEST_F(DialogCommands, EndingTheDialogStopsItsTimers) {
  d.endOnCommands = true;
  d.setTimer(3, 10);
  d.endDialog(5);
  EXPECT_TRUE(d.isEnded());
  EXPECT_EQ(d.result(), 5);
  EXPECT_FALSE(d.isTimerActive(3));
  EXPECT_FALSE(d.isVisible());
}

}  // namespace
