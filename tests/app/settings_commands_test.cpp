// The sensor settings commands of the main window, driven as a technician
// would: a click on the main window's button opens the real dialog, keys and
// clicks edit it, and what the simulated sensor holds afterwards is read
// from qvzsim itself.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QWindow>
#include <charconv>
#include <fstream>
#include <functional>
#include <memory>
#include <span>
#include <sstream>
#include <string>

#include "app/globals.h"
#include "app/main_window.h"
#include "device/format.h"
#include "dialogs/additional_dialog.h"
#include "dialogs/exchange_params_dialog.h"
#include "dialogs/field_exchange.h"
#include "dialogs/number_dialog.h"
#include "dialogs/setpoint_tip.h"
#include "dialogs/setpoints_dialog.h"
#include "platform/ini.h"
#include "resources/icon.h"
#include "resources/main_dialog.h"
#include "resources/settings_dialogs.h"
#include "resources/strings.h"
#include "tests/support/dialog_driver.h"
#include "tests/support/qt_app.h"
#include "tests/support/scripted_prompts.h"
#include "tests/support/sim_bench.h"

namespace {

using namespace resources;
using testsupport::SimBench;
using testsupport::waitUntil;

// Time for a start-up or a re-read to bring a sensor online on a loaded
// machine under a sanitizer.
constexpr int kOnlineMs = 30000;
// The text the link library gives Modbus exception 4, qvzsim's default.
const QString kRefused = QStringLiteral("ошибка E0E10004");

// ---- Driving a dialog ----

// Replaces the whole text of an edit as a user does: click, select all, type.
void type(ui::Dialog &d, int id, const QString &text) {
  auto *edit = d.control<QLineEdit>(id);
  ASSERT_NE(edit, nullptr) << id;
  QTest::mouseClick(edit, Qt::LeftButton);
  QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
  if (text.isEmpty()) {
    QTest::keyClick(edit, Qt::Key_Backspace);
  } else {
    QTest::keyClicks(edit, text);
  }
}

// Moves the selection of a list by `steps` rows with the arrow keys.
void stepList(ui::Dialog &d, int id, int steps) {
  auto *list = d.control<QComboBox>(id);
  ASSERT_NE(list, nullptr) << id;
  for (int i = 0; i < std::abs(steps); ++i)
    QTest::keyClick(list, steps > 0 ? Qt::Key_Down : Qt::Key_Up);
}

void click(ui::Dialog &d, int id) {
  QTest::mouseClick(d.control<QPushButton>(id), Qt::LeftButton);
}

// Enter where the focus is, as the keyboard delivers it.
void pressEnter(ui::Dialog &d) {
  QWidget *focus = d.focusWidget();
  QTest::keyClick(focus ? focus : &d, Qt::Key_Return);
}

std::string fileText(const std::string &path) {
  std::ifstream in(path);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// An entry that "Сменить" refuses with its message.
struct Refusal {
  int id;
  const char *text;
  const char *message;
};

class SettingsCommands : public ::testing::Test {
 protected:
  void start(const SimBench::Options &o, const std::string &commandLine = "") {
    bench = std::make_unique<SimBench>(o);
    sensor().setNoise(0);
    window = std::make_unique<app::CSentuneDlg>(bench->exePath(), commandLine);
  }
  // Shows the window (start-up: theDevice, theAdc, refresh) and waits for live data.
  ::testing::AssertionResult show() {
    window->show();
    return waitLive();
  }
  void TearDown() override {
    window.reset();
    bench.reset();
  }

  qvzsim::Sensor &sensor() { return bench->sensor(); }
  QString text(int id) const { return window->itemText(id); }
  double number(int id) const {
    const std::string t = text(id).trimmed().toStdString();
    double v = -1;
    std::from_chars(t.data(), t.data() + t.size(), v);
    return v;
  }
  bool live() const {
    static const QRegularExpression value(QStringLiteral("^\\s*-?\\d+(\\.\\d+)?$"));
    return value.match(text(kValueSZ)).hasMatch();
  }
  ::testing::AssertionResult waitLive() {
    if (waitUntil([&] { return live(); }, kOnlineMs)) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "no live value; last error '" << text(kLastError).toStdString() << "'";
  }
  // Waits for `polls` more good replies: the display has been refreshed
  // from several successful polls since.
  bool waitPolls(int polls) {
    const double start = number(kGoodReplies);
    return waitUntil([&] { return number(kGoodReplies) >= start + polls; }, kOnlineMs);
  }
  uint64_t writes() const {
    return bench->sensor().requestCount(16) + bench->sensor().requestCount(5);
  }

  // Clicks main-window button `button` and runs `act` inside the dialog of
  // class T that it opens. A dialog that act leaves open fails the test and
  // is cancelled. False when no such dialog appeared.
  template <class T>
  bool withDialog(int button, std::function<void(T &)> act) {
    if (!waitUntil([&] { return window->isItemEnabled(button) && window->isItemShown(button); },
                   kOnlineMs)) {
      ADD_FAILURE() << "button " << button << " never usable";
      return false;
    }
    bool found = false;
    testsupport::whenModal<T>(
        [&](T &d) {
          act(d);
          if (!d.isEnded()) {
            ADD_FAILURE() << "dialog " << d.dialogTemplate().id << " left open";
            d.endDialog(2);
          }
        },
        &found);
    QTest::mouseClick(window->control<QPushButton>(button), Qt::LeftButton);
    return found;
  }

  // Checks that pressing "Сменить" now is refused with `message` for the
  // control `id`, and that the dialog stays open with that control focused.
  void expectRefused(ui::Dialog &d, int id, const QString &message) {
    const std::size_t shown = prompts.messages.size();
    click(d, 1);
    ASSERT_EQ(prompts.messages.size(), shown + 1) << "no message for " << id;
    EXPECT_EQ(prompts.messages.back().text, message);
    EXPECT_EQ(prompts.messages.back().icon, ui::MessageIcon::Warning);
    EXPECT_EQ(prompts.messages.back().buttons, ui::MessageButtons::Ok);
    EXPECT_FALSE(d.isEnded());
    EXPECT_TRUE(d.isVisible());
    // The dialog's focus: what the keyboard reaches while the dialog is active.
    EXPECT_EQ(d.focusWidget(), d.item(id));
    if (auto *edit = d.control<QLineEdit>(id)) {
      EXPECT_EQ(edit->selectedText(), edit->text());
    }
  }

  // Each entry refused in turn, its field then given back its text.
  void expectRefusals(ui::Dialog &d, std::span<const Refusal> refusals) {
    for (const Refusal &r : refusals) {
      SCOPED_TRACE(r.text);
      const QString before = d.itemText(r.id);
      type(d, r.id, QString::fromUtf8(r.text));
      expectRefused(d, r.id, QString::fromUtf8(r.message));
      type(d, r.id, before);
    }
  }

  testsupport::ScriptedPrompts prompts;
  testsupport::PromptsScope promptsScope{prompts};
  std::unique_ptr<SimBench> bench;
  std::unique_ptr<app::CSentuneDlg> window;
};

// ---- Exchange parameters ----

TEST_F(SettingsCommands, NewSpeedAndAddressMoveTheSensorAndTheLinkFollows) {
  start({.type = qvzsim::kThreeAxis});
  ASSERT_TRUE(show());
  const bool opened = withDialog<dialogs::CChCon>(kChangeExchange, [&](dialogs::CChCon &d) {
    auto *list = d.control<QComboBox>(kSpeedList);
    ASSERT_EQ(list->count(), 7);
    const char *speeds[] = {"1200", "2400", "4800", "9600", "19200", "38400", "57600"};
    for (int i = 0; i < 7; ++i)
      EXPECT_EQ(list->itemText(i), speeds[i]);
    EXPECT_EQ(list->currentIndex(), 6) << "the link's speed";
    EXPECT_EQ(d.itemText(kAddressEdit), "1");
    EXPECT_EQ(d.windowTitle(), "Сменить параметры обмена датчика");
    EXPECT_EQ(testsupport::unnamedControls(d), std::vector<int>{});
    EXPECT_EQ(d.item(kAddressEdit)->accessibleName(), "Modbus - адрес");
    EXPECT_TRUE(testsupport::saveScreenshot(&d, QStringLiteral("exchange_dialog")));
    stepList(d, kSpeedList, -3);
    EXPECT_EQ(list->currentText(), "9600");
    type(d, kAddressEdit, QStringLiteral("7"));
    pressEnter(d);
  });
  ASSERT_TRUE(opened);
  EXPECT_TRUE(
      waitUntil([&] { return sensor().status().baud == 9600 && sensor().status().address == 7; }));
  EXPECT_EQ(platform::iniReadString(bench->iniPath(), "SETTINGS", "IdStr", ""),
            "rk.dll,1,9600,100,300");
  EXPECT_EQ(platform::iniReadInt(bench->iniPath(), "SETTINGS", "DeviceId", -1), 7);
  EXPECT_TRUE(waitUntil(
      [&] { return text(kSpeedBox) == "9600" && text(kAddressBox) == "7" && live(); }, kOnlineMs))
      << text(kLastError).toStdString();
  EXPECT_TRUE(text(kLastError).isEmpty()) << text(kLastError).toStdString();
}

TEST_F(SettingsCommands, RefusedExchangeKeepsTheLinkAndItsFailureInViewUntilTheNextCommand) {
  start({.type = qvzsim::kThreeAxis});
  ASSERT_TRUE(show());
  const std::string ini = fileText(bench->iniPath());
  sensor().addFault({.kind = qvzsim::FaultKind::Exception,
                     .function = 16,
                     .firstRegister = 0,
                     .lastRegister = 3});
  ASSERT_TRUE(withDialog<dialogs::CChCon>(kChangeExchange, [&](dialogs::CChCon &d) {
    stepList(d, kSpeedList, -3);
    type(d, kAddressEdit, QStringLiteral("9"));
    pressEnter(d);
  }));
  EXPECT_EQ(sensor().requestCount(16), 1u);
  EXPECT_EQ(sensor().status().baud, 57600u);
  EXPECT_EQ(sensor().status().address, 1);
  EXPECT_EQ(fileText(bench->iniPath()), ini);
  EXPECT_EQ(app::theDevice->snapshot().idStr, bench->idStr());

  // The refusal stays in the last-error line while later polls succeed...
  ASSERT_TRUE(waitUntil([&] { return text(kLastError) == kRefused; }))
      << text(kLastError).toStdString();
  ASSERT_TRUE(waitPolls(10));
  EXPECT_EQ(text(kLastError), kRefused);
  EXPECT_EQ(text(kSpeedBox), "57600");
  EXPECT_EQ(text(kAddressBox), "1");
  EXPECT_TRUE(live());
  // ... and goes with the user's next command.
  QTest::mouseClick(window->control<QPushButton>(kResetStatistics), Qt::LeftButton);
  EXPECT_TRUE(waitUntil([&] { return text(kLastError).isEmpty(); }))
      << text(kLastError).toStdString();
}

TEST_F(SettingsCommands, InvalidAddressIsRefusedAndCancelWritesNothing) {
  start({.type = qvzsim::kThreeAxis});
  ASSERT_TRUE(show());
  const Refusal cases[] = {{kAddressEdit, "248", "Enter an integer between 0 and 247."},
                           {kAddressEdit, "300", "Enter an integer between 0 and 255."},
                           {kAddressEdit, "abc", "Enter an integer between 0 and 255."},
                           {kAddressEdit, "-1", "Enter an integer between 0 and 255."}};
  ASSERT_TRUE(withDialog<dialogs::CChCon>(kChangeExchange, [&](dialogs::CChCon &d) {
    stepList(d, kSpeedList, -1);
    expectRefusals(d, cases);
    QTest::keyClick(d.focusWidget(), Qt::Key_Escape);
  }));
  ASSERT_TRUE(withDialog<dialogs::CChCon>(kChangeExchange, [&](dialogs::CChCon &d) {
    type(d, kAddressEdit, QStringLiteral("5"));
    click(d, 2);  // "Отказ"
  }));
  ASSERT_TRUE(waitPolls(3));
  EXPECT_EQ(writes(), 0u);
  EXPECT_EQ(sensor().status().address, 1);
}

TEST_F(SettingsCommands, LinkSpeedOutsideTheTableAndNoneChosenChangesNothing) {
  start({.type = qvzsim::kThreeAxis, .baud = 115200});
  ASSERT_TRUE(show());
  const std::string ini = fileText(bench->iniPath());
  bool ended = false;
  ASSERT_TRUE(withDialog<dialogs::CChCon>(kChangeExchange, [&](dialogs::CChCon &d) {
    EXPECT_EQ(d.control<QComboBox>(kSpeedList)->currentIndex(), -1);
    type(d, kAddressEdit, QStringLiteral("3"));
    pressEnter(d);
    ended = d.isEnded();
  }));
  EXPECT_TRUE(ended) << "the list is not checked";
  ASSERT_TRUE(waitPolls(3));
  EXPECT_EQ(writes(), 0u);
  EXPECT_EQ(fileText(bench->iniPath()), ini);
  EXPECT_EQ(sensor().status().address, 1);
  EXPECT_EQ(text(kSpeedBox), "115200");
}

// ---- Sensor number ----

TEST_F(SettingsCommands, SensorNumber) {
  start({.type = qvzsim::kThreeAxis}, "/nd");
  ASSERT_TRUE(show());
  ASSERT_TRUE(withDialog<dialogs::CChND>(kChangeNumber, [&](dialogs::CChND &d) {
    EXPECT_EQ(d.itemText(kNumberEdit), "1234");
    EXPECT_EQ(d.windowTitle(), "Сменить номер датчика");
    EXPECT_EQ(testsupport::unnamedControls(d), std::vector<int>{});
    EXPECT_TRUE(testsupport::saveScreenshot(&d, QStringLiteral("number_dialog")));
    type(d, kNumberEdit, QStringLiteral("abc"));
    expectRefused(d, kNumberEdit, QStringLiteral("Enter a positive integer."));
    click(d, 2);
  }));
  ASSERT_TRUE(withDialog<dialogs::CChND>(kChangeNumber, [&](dialogs::CChND &d) {
    type(d, kNumberEdit, QStringLiteral("77"));
    QTest::keyClick(d.focusWidget(), Qt::Key_Escape);
  }));
  EXPECT_EQ(writes(), 0u);

  // The number opens selected: what the user types replaces it.
  ASSERT_TRUE(withDialog<dialogs::CChND>(kChangeNumber, [&](dialogs::CChND &d) {
    ASSERT_EQ(d.focusWidget(), d.item(kNumberEdit));
    QTest::keyClicks(d.focusWidget(), QStringLiteral(" 98765 "));
    pressEnter(d);
  }));
  EXPECT_EQ(sensor().holdingU32(16), 98765u);
  EXPECT_EQ(sensor().status().commits, 1u);
  EXPECT_TRUE(waitUntil([&] { return text(kNumberBox) == "98765"; }));
}

// ---- Setpoints ----

// Setpoint registers of the sensor and the texts the dialog shows for them.
struct SetpointField {
  int id;
  uint16_t reg;
};
constexpr SetpointField kSetpointFields[] = {
    {kWarn1Edit, 18},    {kAlarm1Edit, 20},    {kWarn2Edit, 22},        {kAlarm2Edit, 24},
    {kWarn3Edit, 26},    {kAlarm3Edit, 28},    {kAlarmSamplesEdit, 32}, {kMinValueEdit, 34},
    {kMaxValueEdit, 36}, {kFullScaleEdit, 58}, {kAveragingEdit, 66},
};

QString loaded(int stringId) {
  return resources::loadString(stringId);
}

TEST_F(SettingsCommands, SetpointsOfAThreeComponentSensor) {
  start({.type = qvzsim::kThreeAxis});
  const float before[] = {1.5f, 2.5f, 3.5f, 4.5f, 5.5f, 6.5f, 3.0f, -10.0f, 100.0f, 1000.0f, 4.0f};
  for (std::size_t i = 0; i < std::size(kSetpointFields); ++i)
    sensor().setHoldingFloat(kSetpointFields[i].reg, before[i]);
  sensor().setHoldingFloat(38, 1.0f);  // output 1: 0-20 mA
  sensor().setHoldingFloat(40, 2.0f);  // output 2: 0-24 mA
  ASSERT_TRUE(show());

  const char *entered[] = {"2", "3", "4.25", "5", "6", "7", "10", "500", "100", "750", "8"};
  const float values[] = {2, 3, 4.25f, 5, 6, 7, 10, 500, 100, 750, 8};
  ASSERT_TRUE(withDialog<dialogs::CChUst>(kSetpoints, [&](dialogs::CChUst &d) {
    EXPECT_EQ(d.windowTitle(), "Сменить уставки");
    for (std::size_t i = 0; i < std::size(kSetpointFields); ++i) {
      EXPECT_EQ(d.itemText(kSetpointFields[i].id),
                QString::fromStdString(dialogs::formatFloat(before[i])))
          << kSetpointFields[i].id;
    }
    EXPECT_EQ(d.control<QComboBox>(kDacMode1List)->currentIndex(), 1);
    EXPECT_EQ(d.control<QComboBox>(kDacMode2List)->currentText(), "0-24 мА");
    for (int i = 0; i < 6; ++i)
      EXPECT_EQ(d.itemText(kSetpointLabelFirst + i), loaded(kStrSetpointName2 + i)) << i;
    EXPECT_EQ(d.item(kWarn1Edit)->accessibleName(), "Предупредительная уставка канала Z");
    EXPECT_EQ(testsupport::unnamedControls(d), std::vector<int>{});
    EXPECT_TRUE(testsupport::saveScreenshot(&d, QStringLiteral("setpoints_dialog_kind2")));

    // The tip of 1064: millimetres per second, 0-24 mA of output 2.
    dialogs::ToolTip *tip = d.toolTip();
    ASSERT_NE(tip, nullptr);
    const QString expected =
        QString::fromStdString(dialogs::setpointTip(2, dialogs::currentRange(2), 1000.0f));
    EXPECT_EQ(tip->tipText(d.item(kFullScaleEdit)), expected);
    EXPECT_TRUE(expected.split("\r\n").at(2).startsWith("500.00 мм/с соответствует 12.00 мА"));
    EXPECT_TRUE(expected.endsWith("1000.00 мм/с соответствует 24.00 мА"));

    for (std::size_t i = 0; i < std::size(kSetpointFields); ++i)
      type(d, kSetpointFields[i].id, QString::fromUtf8(entered[i]));
    stepList(d, kDacMode1List, -1);
    stepList(d, kDacMode2List, -1);
    pressEnter(d);
  }));
  for (std::size_t i = 0; i < std::size(kSetpointFields); ++i) {
    EXPECT_EQ(sensor().holdingFloat(kSetpointFields[i].reg), values[i]) << kSetpointFields[i].reg;
  }
  EXPECT_EQ(sensor().holdingFloat(38), 0.0f);
  EXPECT_EQ(sensor().holdingFloat(40), 1.0f);
  EXPECT_EQ(sensor().status().commits, 1u);

  // The main window shows them once the configuration has been read again.
  const int boxes[] = {kSetpointBox0 + 0, kSetpointBox0 + 1, kSetpointBox0 + 2,
                       kSetpointBox0 + 3, kSetpointBox0 + 4, kSetpointBox0 + 5,
                       kAlarmSamples,     kMinValue,         kMaxValue};
  EXPECT_TRUE(waitUntil(
      [&] {
        for (std::size_t i = 0; i < std::size(boxes); ++i) {
          if (text(boxes[i]).toStdString() != device::formatFixed(values[i], 8, 2)) return false;
        }
        return true;
      },
      kOnlineMs))
      << text(kSetpointBox0).toStdString() << " " << text(kMinValue).toStdString();
}

TEST_F(SettingsCommands, SetpointEntriesAreCheckedBeforeAnythingIsWritten) {
  start({.type = qvzsim::kThreeAxis});
  sensor().setHoldingFloat(40, 3.0f);  // a mode the lists do not have
  ASSERT_TRUE(show());
  const Refusal cases[] = {
      {kWarn1Edit, "1001", "Enter a number between 0 and 1000."},
      {kAlarm3Edit, "abc", "Enter a number."},
      {kAlarmSamplesEdit, "0", "Enter a number between 1 and 100."},
      {kAveragingEdit, "33", "Enter a number between 1 and 32."},
  };
  ASSERT_TRUE(withDialog<dialogs::CChUst>(kSetpoints, [&](dialogs::CChUst &d) {
    EXPECT_EQ(d.control<QComboBox>(kDacMode2List)->currentIndex(), -1);
    expectRefused(d, kDacMode2List, QStringLiteral("Enter an integer between 0 and 2."));
    stepList(d, kDacMode2List, 1);
    EXPECT_EQ(d.control<QComboBox>(kDacMode2List)->currentIndex(), 0);
    expectRefusals(d, cases);
    // The least and greatest possible values take anything, in any order.
    type(d, kMinValueEdit, QStringLiteral("500"));
    type(d, kMaxValueEdit, QStringLiteral("-1e6"));
    QTest::keyClick(d.focusWidget(), Qt::Key_Escape);
  }));
  ASSERT_TRUE(withDialog<dialogs::CChUst>(kSetpoints, [&](dialogs::CChUst &d) {
    type(d, kWarn1Edit, QStringLiteral("9"));
    click(d, 2);
  }));
  EXPECT_EQ(writes(), 0u);
  EXPECT_EQ(sensor().holdingFloat(18), 7.1f);

  ASSERT_TRUE(withDialog<dialogs::CChUst>(kSetpoints, [&](dialogs::CChUst &d) {
    stepList(d, kDacMode2List, 1);
    type(d, kMinValueEdit, QStringLiteral("500"));
    type(d, kMaxValueEdit, QStringLiteral("-1e6"));
    click(d, 1);
  }));
  EXPECT_EQ(sensor().holdingFloat(34), 500.0f);
  EXPECT_EQ(sensor().holdingFloat(36), -1e6f);
  EXPECT_EQ(sensor().holdingFloat(40), 0.0f);
}

TEST_F(SettingsCommands, FullScaleFieldOfAGapSensorRecomputesItsTipAtEveryKeystroke) {
  start({.type = qvzsim::kGapVibration});
  sensor().setHoldingFloat(58, 2.0f);  // value at maximum current
  sensor().setHoldingFloat(40, 0.0f);  // output 2: 4-20 mA
  ASSERT_TRUE(show());
  ASSERT_TRUE(withDialog<dialogs::CChUst>(kSetpoints, [&](dialogs::CChUst &d) {
    for (int i = 0; i < 6; ++i)
      EXPECT_EQ(d.itemText(kSetpointLabelFirst + i), loaded(kStrSetpointName1 + i)) << i;
    EXPECT_EQ(testsupport::unnamedControls(d), std::vector<int>{});
    EXPECT_TRUE(testsupport::saveScreenshot(&d, QStringLiteral("setpoints_dialog")));
    QWidget *field = d.item(kFullScaleEdit);
    dialogs::ToolTip *tip = d.toolTip();
    const QStringList lines = tip->tipText(field).split("\r\n");
    ASSERT_EQ(lines.size(), 5);
    EXPECT_EQ(lines.front(), "0.00 мм соответствует 4.00 мА");
    EXPECT_EQ(lines.back(), "2.00 мм соответствует 20.00 мА");

    // The tip shows when the mouse rests over the field, one line a row.
    // Moves through the dialog's window, which hands them to the control under the pointer.
    const auto moveTo = [&](QWidget *w) {
      QTest::mouseMove(d.windowHandle(), w->mapTo(&d, w->rect().center()));
    };
    moveTo(field);
    ASSERT_TRUE(waitUntil([&] { return tip->isTipShown(); }));
    QLabel *tipWindow = tip->tipWindow();
    EXPECT_EQ(tipWindow->text(), lines.join('\n'));
    const QFontMetrics metrics(tipWindow->font());
    const int reference = metrics.horizontalAdvance(
        QString::fromUtf8(dialogs::kTipWidthReference.data(),
                          static_cast<qsizetype>(dialogs::kTipWidthReference.size())));
    EXPECT_EQ(tip->maxTipWidth(), reference);
    EXPECT_LE(tipWindow->contentsRect().width(), reference + 2 * tipWindow->margin());
    EXPECT_GE(tipWindow->height(), 5 * metrics.lineSpacing());
    EXPECT_LT(tipWindow->height(), 6 * metrics.lineSpacing() + 2 * tipWindow->margin() + 4)
        << "no line broken in two";
    EXPECT_TRUE(testsupport::saveScreenshot(tipWindow, QStringLiteral("setpoints_tip")));
    QWidget *other = d.item(kWarn1Edit);
    moveTo(other);
    EXPECT_TRUE(waitUntil([&] { return !tip->isTipShown(); }));

    // Typing recomputes the tip; the range stays that of the sensor's
    // output 2, whatever its list shows now.
    stepList(d, kDacMode2List, 2);
    type(d, kFullScaleEdit, QStringLiteral("5"));
    EXPECT_EQ(d.itemText(kFullScaleEdit), "5");
    EXPECT_EQ(tip->tipText(field),
              QString::fromStdString(dialogs::setpointTip(1, dialogs::currentRange(0), 5.0f)));
    EXPECT_TRUE(prompts.messages.empty());

    // An emptied field is no number: the message, and the value comes back.
    type(d, kFullScaleEdit, QString());
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages.back().text, "Enter a number.");
    EXPECT_EQ(d.itemText(kFullScaleEdit), "5");

    // An earlier field that fails undoes the keystroke: fields read before
    // it show their new values reformatted, a text that is no number its
    // previous value, a number out of range itself.
    const QString alarm1 = d.itemText(kAlarm1Edit);
    type(d, kWarn1Edit, QStringLiteral("0.50"));
    type(d, kAlarm1Edit, QStringLiteral("abc"));
    QTest::keyClick(field, Qt::Key_End);
    QTest::keyClick(field, Qt::Key_0);
    EXPECT_EQ(prompts.messages.back().text, "Enter a number.");
    EXPECT_EQ(d.itemText(kWarn1Edit), "0.5");
    EXPECT_EQ(d.itemText(kAlarm1Edit), alarm1);
    EXPECT_EQ(d.itemText(kFullScaleEdit), "5");
    type(d, kAlarm1Edit, QStringLiteral("1001"));
    QTest::keyClick(field, Qt::Key_End);
    QTest::keyClick(field, Qt::Key_0);
    EXPECT_EQ(prompts.messages.back().text, "Enter a number between 0 and 1000.");
    EXPECT_EQ(d.itemText(kAlarm1Edit), "1001");
    EXPECT_EQ(d.itemText(kFullScaleEdit), "5");
    EXPECT_TRUE(d.isVisible());
    QTest::keyClick(d.focusWidget(), Qt::Key_Escape);
  }));
  EXPECT_EQ(writes(), 0u);
  EXPECT_EQ(sensor().holdingFloat(58), 2.0f);
}

// ---- Additional settings ----

TEST_F(SettingsCommands, AdditionalSettingsOfAThreeComponentSensor) {
  start({.type = qvzsim::kThreeAxis});
  struct Field {
    int id;
    uint16_t reg;
    float before;
    const char *entered;
    float value;
  } fields[] = {
      {kAdcMinVoltageEdit, 68, 100.0f, "600", 600.0f},  // above the maximum: not compared
      {kAdcMaxVoltageEdit, 70, 500.0f, "614.4", 614.4f},
      {kAdcOverloadDelayEdit, 72, 20.0f, "250", 250.0f},
      {kMaxRmsStepEdit, 74, 5.0f, "7.5", 7.5f},
      {kMaxSpectrumLineEdit, 76, 1000.0f, "20000", 20000.0f},
      {kStartFrequencyIndexEdit, 78, 2.0f, "3", 3.0f},
  };
  for (const Field &f : fields)
    sensor().setHoldingFloat(f.reg, f.before);
  ASSERT_TRUE(show());
  const Refusal refused[] = {
      {kAdcMaxVoltageEdit, "614.5", "Enter a number between 0 and 614.4."},
      {kStartFrequencyIndexEdit, "0", "Enter a number between 1 and 100."},
      {kAdcOverloadDelayEdit, "5001", "Enter a number between 0 and 5000."},
      {kMaxSpectrumLineEdit, "x", "Enter a number."},
  };
  ASSERT_TRUE(withDialog<dialogs::CAddSet>(kAdditional, [&](dialogs::CAddSet &d) {
    EXPECT_EQ(d.windowTitle(), "Дополнительные настройки");
    for (const Field &f : fields)
      EXPECT_EQ(d.itemText(f.id), QString::fromStdString(dialogs::formatFloat(f.before))) << f.id;
    EXPECT_EQ(testsupport::unnamedControls(d), std::vector<int>{});
    EXPECT_TRUE(testsupport::saveScreenshot(&d, QStringLiteral("additional_dialog")));
    expectRefusals(d, refused);
    EXPECT_EQ(writes(), 0u);
    for (const Field &f : fields)
      type(d, f.id, QString::fromUtf8(f.entered));
    click(d, 1);
  }));
  for (const Field &f : fields)
    EXPECT_EQ(sensor().holdingFloat(f.reg), f.value) << f.reg;
  EXPECT_EQ(sensor().status().commits, 1u);

  // Read again from the sensor, the dialog shows what it now holds.
  ASSERT_TRUE(waitUntil([&] { return app::theDevice->snapshot().config.adcMinVoltage == 600.0f; },
                        kOnlineMs));
  ASSERT_TRUE(withDialog<dialogs::CAddSet>(kAdditional, [&](dialogs::CAddSet &d) {
    for (const Field &f : fields)
      EXPECT_EQ(d.itemText(f.id), f.entered) << f.id;
    click(d, 2);
  }));
  EXPECT_EQ(sensor().status().commits, 1u);
}

// ---- Channel flags, resets, icon ----

TEST_F(SettingsCommands, ChannelFlagsAreWrittenCommittedAndReadBack) {
  start({.type = qvzsim::kThreeAxis});
  ASSERT_TRUE(show());
  ASSERT_EQ(sensor().holdingU32(30), 7u);
  struct Case {
    int box;
    uint32_t flags;  // afterwards
  } cases[] = {{kFlagSZ, 3}, {kFlagY, 1}, {kFlagWX, 0}, {kFlagSZ, 4}, {kFlagY, 6}, {kFlagWX, 7}};
  unsigned commits = 0;
  for (const Case &c : cases) {
    SCOPED_TRACE(c.box);
    auto *box = window->control<QCheckBox>(c.box);
    const bool before = box->isChecked();
    sensor().clearRequests();
    QTest::mouseClick(box, Qt::LeftButton);
    EXPECT_EQ(sensor().holdingU32(30), c.flags);
    EXPECT_EQ(sensor().status().commits, ++commits);
    // Write, commit, read back, in this order.
    std::vector<std::pair<int, int>> commands;
    for (const qvzsim::Request &r : sensor().requests()) {
      if (r.function != 4) commands.emplace_back(r.function, r.start);
    }
    EXPECT_EQ(commands, (std::vector<std::pair<int, int>>{{16, 30}, {5, 0}, {3, 30}}));
    EXPECT_TRUE(waitPolls(2));
    EXPECT_EQ(box->isChecked(), !before) << "shown as read back";
    if (c.box == kFlagSZ && !box->isChecked()) {
      EXPECT_TRUE(waitUntil([&] { return text(kStatusSZ) == "канал замаскирован"; }));
    }
  }
}

TEST_F(SettingsCommands, RefusedCommitStaysInTheLastErrorLineAfterItsGoodReadBack) {
  start({.type = qvzsim::kThreeAxis});
  ASSERT_TRUE(show());
  sensor().addFault({.kind = qvzsim::FaultKind::Exception, .function = 5});
  sensor().clearRequests();
  QTest::mouseClick(window->control<QCheckBox>(kFlagWX), Qt::LeftButton);
  EXPECT_EQ(sensor().requestCount(3), 1u) << "read back after the refused commit";
  EXPECT_EQ(sensor().status().commits, 0u);
  ASSERT_TRUE(waitUntil([&] { return text(kLastError) == kRefused; }))
      << text(kLastError).toStdString();
  ASSERT_TRUE(waitPolls(10));
  EXPECT_EQ(text(kLastError), kRefused);
  QTest::mouseClick(window->control<QPushButton>(kResetLimits), Qt::LeftButton);
  EXPECT_TRUE(waitUntil([&] { return text(kLastError).isEmpty(); }));
  ASSERT_TRUE(waitPolls(3));
  EXPECT_TRUE(text(kLastError).isEmpty());
}

TEST_F(SettingsCommands, ResetLimitsAndStatistics) {
  start({.type = qvzsim::kThreeAxis});
  // Z reads the bench velocity through the axis's own sensitivity: about 8,
  // then about 2.
  sensor().setVelocity(qvzsim::Axis::Z, 8.0);
  ASSERT_TRUE(show());
  ASSERT_TRUE(waitUntil([&] { return number(kMaxSZ) > 6.0; })) << text(kMaxSZ).toStdString();
  sensor().setVelocity(qvzsim::Axis::Z, 2.0);
  ASSERT_TRUE(waitUntil([&] { return number(kValueSZ) < 3.0; }));
  const double high = number(kMaxSZ);
  EXPECT_GT(high, 6.0) << "the extreme holds";
  QTest::mouseClick(window->control<QPushButton>(kResetLimits), Qt::LeftButton);
  EXPECT_TRUE(waitUntil([&] { return number(kMaxSZ) < 3.0 && number(kMinSZ) > 1.0; }))
      << text(kMaxSZ).toStdString() << " " << text(kMinSZ).toStdString();

  ASSERT_TRUE(waitPolls(30));
  const double good = number(kGoodReplies);
  QTest::mouseClick(window->control<QPushButton>(kResetStatistics), Qt::LeftButton);
  EXPECT_TRUE(waitUntil([&] { return number(kGoodReplies) < good / 2; }))
      << text(kGoodReplies).toStdString() << " after " << good;
  EXPECT_EQ(writes(), 0u) << "neither reset talks to the sensor";
}

TEST_F(SettingsCommands, MinimisedWindowCarriesTheApplicationIcon) {
  start({.type = qvzsim::kThreeAxis});
  ASSERT_TRUE(show());
  window->showMinimized();
  ASSERT_TRUE(waitUntil([&] { return window->isMinimized(); }));
  // The desktop draws a minimised window with the icon of its platform window.
  const QImage shown = window->windowHandle()->icon().pixmap(32, 32).toImage();
  const QImage expected = resources::appIcon().pixmap(32, 32).toImage();
  EXPECT_FALSE(shown.isNull());
  EXPECT_EQ(shown.convertToFormat(QImage::Format_ARGB32),
            expected.convertToFormat(QImage::Format_ARGB32));
}

}  // namespace
