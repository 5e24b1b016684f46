// Modal and modeless runs: end codes from Enter, Esc, the close box and buttons.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>
#include <memory>

#include "sample_dialog.h"
#include "tests/support/qt_app.h"

namespace {

using uitest::RecordingDialog;

// Runs d modally; once its loop runs, act(d) plays the user's part. Returns the end code.
int runWith(RecordingDialog &d, const std::function<void(RecordingDialog &)> &act) {
  QTimer::singleShot(0, &d, [&] {
    act(d);
    // A dialog still open after the user's part is closed with a code the tests never expect.
    QTimer::singleShot(0, &d, [&] {
      if (d.isVisible()) d.endDialog(-99);
    });
  });
  return d.runModal();
}

void key(QWidget *target, Qt::Key k) {
  QTest::keyClick(target, k);
}

QWidget *focusOrDialog(ui::Dialog &d) {
  return d.focusWidget() ? d.focusWidget() : &d;
}

class DialogKeys : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { testsupport::qtApp(); }
};

TEST_F(DialogKeys, EndCodes) {
  struct Case {
    const char *what;
    const ui::DialogTemplate &tmpl;
    std::function<void(RecordingDialog &)> act;
    int code;
  } cases[] = {
      {"Enter in an edit presses the default button", uitest::kSample,
       [](RecordingDialog &d) {
         d.item(101)->setFocus();
         key(d.item(101), Qt::Key_Return);
       },
       1},
      {"Enter on a focused push button presses it", uitest::kSample,
       [](RecordingDialog &d) {
         d.item(2)->setFocus();
         key(d.item(2), Qt::Key_Return);
       },
       2},
      {"Esc cancels", uitest::kSample,
       [](RecordingDialog &d) { key(focusOrDialog(d), Qt::Key_Escape); }, 2},
      {"the close box cancels", uitest::kSample, [](RecordingDialog &d) { d.close(); }, 2},
      {"clicking OK", uitest::kSample,
       [](RecordingDialog &d) { QTest::mouseClick(d.control<QPushButton>(1), Qt::LeftButton); }, 1},
      {"without a default button Enter sends 1", uitest::kPlain,
       [](RecordingDialog &d) {
         d.item(201)->setFocus();
         key(d.item(201), Qt::Key_Enter);
       },
       1},
      {"without a control 2 the close box still cancels", uitest::kPlain,
       [](RecordingDialog &d) { d.close(); }, 2},
      {"Esc sends 2 even when control 2 is disabled", uitest::kSample,
       [](RecordingDialog &d) {
         d.enableItem(2, false);
         key(&d, Qt::Key_Escape);
       },
       2},
  };
  for (const Case &c : cases) {
    RecordingDialog d(c.tmpl);
    EXPECT_EQ(runWith(d, c.act), c.code) << c.what;
    EXPECT_TRUE(d.isEnded()) << c.what;
    EXPECT_EQ(d.inits, 1) << c.what;
  }
}

TEST_F(DialogKeys, DisabledDefaultButtonOrCancelKeepTheDialogOpen) {
  RecordingDialog d(uitest::kSample);
  bool stillOpen = false;
  const int code = runWith(d, [&](RecordingDialog &dlg) {
    dlg.enableItem(1, false);
    dlg.item(101)->setFocus();
    key(dlg.item(101), Qt::Key_Return);  // default button disabled: nothing
    dlg.enableItem(2, false);
    dlg.close();  // close box with "Cancel" disabled: nothing
    stillOpen = dlg.isVisible() && !dlg.isEnded();
  });
  EXPECT_TRUE(stillOpen);
  EXPECT_EQ(code, -99);
  EXPECT_TRUE(d.commands.empty());
}

TEST_F(DialogKeys, ADialogThatHandlesOneAndTwoItselfStaysOpen) {
  RecordingDialog d(uitest::kSample);
  d.endOnCommands = false;
  const int code = runWith(d, [](RecordingDialog &dlg) {
    key(focusOrDialog(dlg), Qt::Key_Escape);
    dlg.close();
    dlg.item(101)->setFocus();
    key(dlg.item(101), Qt::Key_Return);
  });
  EXPECT_EQ(code, -99);
  using N = ui::Notification;
  EXPECT_EQ(d.commands,
            (std::vector<std::pair<int, N>>{{2, N::Clicked}, {2, N::Clicked}, {1, N::Clicked}}));
}

TEST_F(DialogKeys, EndingDuringInitSkipsTheModalLoop) {
  struct EndsAtOnce : RecordingDialog {
    using RecordingDialog::RecordingDialog;
    void onInit() override { endDialog(7); }
  } d(uitest::kSample);
  EXPECT_EQ(d.runModal(), 7);
  EXPECT_FALSE(d.isVisible());
}

TEST_F(DialogKeys, TypingAsTheDialogOpensReplacesTheValueInItsFirstEdit) {
  // A dialog that gives the focus to a control of its choice as it opens.
  struct FocusesCancel : RecordingDialog {
    using RecordingDialog::RecordingDialog;
    void onInit() override { item(2)->setFocus(); }
  };
  struct Case {
    const char *what;
    bool ownFocus;
    int focus;          // the control that has the focus once the dialog is open
    const char *typed;  // what "12" typed there leaves in edit 101
  } cases[] = {
      {"the first control Tab reaches is an edit: its text is selected", false, 101, "12"},
      {"a focus the dialog chose itself is kept", true, 2, "7"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    std::unique_ptr<RecordingDialog> d = c.ownFocus
                                             ? std::make_unique<FocusesCancel>(uitest::kSample)
                                             : std::make_unique<RecordingDialog>(uitest::kSample);
    runWith(*d, [&](RecordingDialog &dlg) {
      dlg.activateWindow();
      ASSERT_TRUE(testsupport::waitUntil([&] { return QApplication::activeWindow() == &dlg; }));
      ASSERT_EQ(QApplication::focusWidget(), dlg.item(c.focus));
      QTest::keyClicks(QApplication::focusWidget(), "12");
      EXPECT_EQ(dlg.itemText(101), c.typed);
      dlg.endDialog(2);
    });
  }
}

TEST_F(DialogKeys, ModelessDialogRespondsWhenItsOwnerPumpsEvents) {
  QWidget owner;
  owner.show();
  RecordingDialog d(uitest::kSample, &owner);
  d.showModeless();
  EXPECT_TRUE(d.isVisible());
  EXPECT_EQ(QApplication::activeModalWidget(), &d) << "other windows take no input meanwhile";
  QTimer::singleShot(0, &d, [&] { QTest::mouseClick(d.control<QPushButton>(2), Qt::LeftButton); });
  ASSERT_TRUE(testsupport::waitUntil([&] {
    ui::Dialog::pumpEvents();
    return d.isEnded();
  }));
  EXPECT_EQ(d.result(), 2);
  EXPECT_FALSE(d.isVisible());
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

}  // namespace
