// The main window started for real (INI file, theDevice, theAdc, refresh
// timer) against a simulated sensor, watched through its controls.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QContextMenuEvent>
#include <QLabel>
#include <QMenu>
#include <QPixmap>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>
#include <charconv>
#include <filesystem>
#include <memory>
#include <string>

#include "app/about_dialog.h"
#include "app/globals.h"
#include "app/main_window.h"
#include "resources/main_dialog.h"
#include "search/connect_dialog.h"
#include "tests/support/dialog_driver.h"
#include "tests/support/qt_app.h"
#include "tests/support/rk_test_env.h"
#include "tests/support/sim_bench.h"

namespace {

using namespace resources;
using testsupport::SimBench;
using testsupport::waitUntil;

// Time for a start-up to bring a type-1 sensor online: identification,
// configuration and 27 table requests, on a loaded machine under a sanitizer.
constexpr int kOnlineMs = 30000;

class MainWindow : public ::testing::Test {
 protected:
  void start(const SimBench::Options &o, const std::string &commandLine = "") {
    bench = std::make_unique<SimBench>(o);
    open(commandLine);
  }
  void open(const std::string &commandLine = "") {
    window = std::make_unique<app::CSentuneDlg>(bench->exePath(), commandLine);
    window->show();  // runs the start-up: theDevice, theAdc, refresh timer
  }
  void TearDown() override {
    window.reset();
    bench.reset();
  }

  QString text(int id) const { return window->itemText(id); }
  // The number a field shows (0 when it shows none).
  double number(int id) const {
    const std::string t = text(id).trimmed().toStdString();
    double v = 0;
    std::from_chars(t.data(), t.data() + t.size(), v);
    return v;
  }
  bool shown(int id) const { return window->isItemShown(id); }
  bool enabled(int id) const { return window->isItemEnabled(id); }
  // A live reading: a number in the value field of row S/Z.
  bool live() const {
    static const QRegularExpression number(QStringLiteral("^\\s*-?\\d+(\\.\\d+)?$"));
    return number.match(text(kValueSZ)).hasMatch();
  }
  ::testing::AssertionResult waitLive() {
    if (waitUntil([&] { return live(); }, kOnlineMs)) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "no live value; port '" << text(kPortBox).toStdString() << "', last error '"
           << text(kLastError).toStdString() << "'";
  }

  std::unique_ptr<SimBench> bench;
  std::unique_ptr<app::CSentuneDlg> window;
};

TEST_F(MainWindow, GapAndVibrationSensor) {
  start({.type = qvzsim::kGapVibration});
  bench->sensor().setGap(1.5);
  bench->sensor().setVibration(42.0);
  ASSERT_TRUE(waitLive()) << "last error: " << text(kLastError).toStdString();

  // rk shares ports through a table of this test run's own, never through
  // the one of every rk program on the machine.
  EXPECT_TRUE(std::filesystem::exists("/dev/shm/RK_SHARED_COMS" + rktest::ipcSuffix()));
  EXPECT_EQ(app::iniPath, bench->iniPath());
  EXPECT_TRUE(std::filesystem::is_directory(bench->dir() + "/Data"));
  EXPECT_EQ(text(kPortBox), "COM1");
  EXPECT_EQ(text(kSpeedBox), "57600");
  EXPECT_EQ(text(kAddressBox), "1");
  EXPECT_EQ(text(kNumberBox), "1234");
  EXPECT_TRUE(QRegularExpression("^\\d+\\.\\d\\d$").match(text(kFirmwareBox)).hasMatch())
      << text(kFirmwareBox).toStdString();
  EXPECT_EQ(text(kLabelSZ), "S");
  EXPECT_EQ(text(kLabelWX), "W");
  EXPECT_TRUE(QRegularExpression("^\\s*\\d+$").match(text(kValueWX)).hasMatch())
      << "W has no decimals: '" << text(kValueWX).toStdString() << "'";
  EXPECT_EQ(text(kValueWX).size(), 6) << "W is right-aligned in six characters";
  EXPECT_NEAR(number(kValueSZ), 1.5, 0.2);
  for (int id : {kLabelY, kValueY, kLabelSZ, kValueSZ, kLabelWX, kValueWX, kAdcValue}) {
    EXPECT_EQ(window->item(id)->font().pointSize(), 18) << "display font in " << id;
  }
  EXPECT_EQ(window->item(kStatusSZ)->font().pointSize(), 12) << "the dialog's own font";
  for (int id : {kLabelY, kValueY, kStatusY, kMinY, kMaxY, kFlagY, kAdditional}) {
    EXPECT_FALSE(shown(id)) << id;
  }
  const char *labels[] = {"Sп<:", "Sа<:", "Wп:", "Wа:", "Sп>:", "Sа>:"};
  for (int i = 0; i < 6; ++i)
    EXPECT_EQ(text(kSetpointLabel0 + i), labels[i]) << i;
  for (int id : {kReadTables, kWriteTables, kChangeExchange, kSetpoints}) {
    EXPECT_TRUE(enabled(id)) << id;
  }
  EXPECT_FALSE(enabled(kChangeNumber)) << "number 1234 without /nd";
  EXPECT_FALSE(enabled(kCalibrate)) << "without /calibr";
  EXPECT_FALSE(shown(kUpload));
  EXPECT_FALSE(shown(kTest));
  EXPECT_FALSE(enabled(kTestSignal));
  EXPECT_FALSE(window->isItemChecked(kTestSignal));
  EXPECT_TRUE(waitUntil([&] { return !text(kMinSZ).isEmpty() && !text(kMaxSZ).isEmpty(); }));
  EXPECT_TRUE(text(kLastError).isEmpty()) << text(kLastError).toStdString();
  // The simulated E-140 module delivers a sine of 1 V peak: 0.7071 V RMS.
  ASSERT_TRUE(waitUntil([&] { return !text(kAdcValue).isEmpty(); }, kOnlineMs))
      << text(kAdcStatus).toStdString();
  EXPECT_NEAR(number(kAdcValue), 0.7071, 0.02);
  EXPECT_TRUE(QRegularExpression("^\\d+\\.\\d{4}$").match(text(kAdcValue)).hasMatch());
  EXPECT_TRUE(text(kAdcStatus).startsWith("ввод на частоте")) << text(kAdcStatus).toStdString();

  // The window as a technician sees it, kept with the build for a look.
  EXPECT_TRUE(testsupport::saveScreenshot(window.get(), QStringLiteral("main_window_type1")));
  EXPECT_EQ(testsupport::unnamedControls(*window), std::vector<int>{})
      << "every value box is named after its label";
  EXPECT_EQ(window->item(kMinSZ)->accessibleName(), "S");
  EXPECT_EQ(window->item(kLastError)->accessibleName(), "Последняя ошибка обмена с датчиком");

  const app::CoefficientFileName name = window->MakeCoefficientFileName();
  EXPECT_EQ(name.dir, bench->dir() + "/Data/1234");
  EXPECT_TRUE(std::filesystem::is_directory(name.dir));
  EXPECT_TRUE(QRegularExpression("/Data/1234/\\d{8}_\\d{4}\\.cf$")
                  .match(QString::fromStdString(name.path))
                  .hasMatch())
      << name.path;
}

TEST_F(MainWindow, ThreeComponentSensorAndItsTestSignal) {
  start({.type = qvzsim::kThreeAxis});
  bench->sensor().setVelocity(qvzsim::Axis::Z, 3.25);
  ASSERT_TRUE(waitLive()) << text(kLastError).toStdString();
  EXPECT_EQ(text(kLabelY), "Y");
  EXPECT_EQ(text(kLabelSZ), "Z");
  EXPECT_EQ(text(kLabelWX), "X");
  EXPECT_EQ(text(kSetpointLabel0), "Zп:");
  EXPECT_TRUE(QRegularExpression("^\\s*-?\\d+\\.\\d\\d$").match(text(kValueWX)).hasMatch());
  for (int id : {kLabelY, kValueY, kStatusY, kMinY, kMaxY, kFlagY, kAdditional}) {
    EXPECT_TRUE(shown(id)) << id;
  }
  EXPECT_FALSE(enabled(kReadTables));
  EXPECT_FALSE(enabled(kWriteTables));
  EXPECT_FALSE(enabled(kCalibrate));
  ASSERT_TRUE(waitUntil([&] { return enabled(kTestSignal); }));
  EXPECT_FALSE(window->isItemChecked(kTestSignal));

  // Ticking the box switches the sensor's test signal on: kind 3, and
  // "Доп. настр." disappears.
  QTest::mouseClick(window->control<QCheckBox>(kTestSignal), Qt::LeftButton);
  EXPECT_TRUE(waitUntil([&] { return bench->sensor().status().testSignal; }, kOnlineMs));
  EXPECT_TRUE(waitUntil([&] { return !shown(kAdditional); }, kOnlineMs));
  EXPECT_TRUE(window->isItemChecked(kTestSignal));
  EXPECT_EQ(bench->sensor().status().type, 3);
  EXPECT_EQ(text(kLabelSZ), "Z");

  QTest::mouseClick(window->control<QCheckBox>(kTestSignal), Qt::LeftButton);
  EXPECT_TRUE(waitUntil([&] { return !bench->sensor().status().testSignal; }, kOnlineMs));
  EXPECT_TRUE(waitUntil([&] { return shown(kAdditional); }, kOnlineMs));
  EXPECT_FALSE(window->isItemChecked(kTestSignal));
}

TEST_F(MainWindow, SilentSensorShowsStarsAndKeepsCounting) {
  start({.type = qvzsim::kThreeAxis});
  ASSERT_TRUE(waitLive());
  bench->sensor().addFault({.kind = qvzsim::FaultKind::Silence});
  ASSERT_TRUE(waitUntil([&] { return text(kValueSZ) == "*****"; }, kOnlineMs));
  for (int id : {kFirmwareBox, kNumberBox, kValueY, kValueWX, kSetpointBox0, kAuxS, kStatusY,
                 kAlarmSamples, kMaxValue}) {
    EXPECT_EQ(text(id), "*****") << id;
  }
  for (int id : std::initializer_list<int>{kLabelY, kLabelSZ, kLabelWX, kSetpointLabel0,
                                           kSetpointLabel0 + 5}) {
    EXPECT_TRUE(text(id).isEmpty()) << id;
  }
  EXPECT_FALSE(text(kLastError).isEmpty());
  EXPECT_EQ(text(kPortBox), "COM1");
  EXPECT_TRUE(testsupport::saveScreenshot(window.get(), QStringLiteral("main_window_silent")));
  const int bad = text(kBadAttempts).toInt();
  EXPECT_TRUE(waitUntil([&] { return text(kBadAttempts).toInt() > bad; }, kOnlineMs))
      << "statistics keep counting";
  EXPECT_FALSE(enabled(kChangeExchange));
  EXPECT_FALSE(enabled(kTestSignal));

  // Extremes stay as they were while the polls fail, vanish on a reset and
  // return with the next successful poll.
  EXPECT_FALSE(text(kMinSZ).isEmpty());
  app::theDevice->resetMinMax();
  EXPECT_TRUE(waitUntil([&] { return text(kMinSZ).isEmpty() && text(kMaxWX).isEmpty(); }));
  bench->sensor().clearFaults();
  EXPECT_TRUE(
      waitUntil([&] { return !text(kMinSZ).isEmpty() && !text(kMaxWX).isEmpty(); }, kOnlineMs));
}

TEST_F(MainWindow, ClosedLinkEmptiesTheFieldsAndDisablesTheButtons) {
  start({.type = qvzsim::kThreeAxis});
  bench->sensor().setNoise(0.0);  // steady readings: the extremes stand still
  ASSERT_TRUE(waitLive());
  ASSERT_TRUE(waitUntil(
      [&] { return enabled(kTestSignal) && !text(kMinSZ).isEmpty() && !text(kMaxWX).isEmpty(); }));
  const QString minSZ = text(kMinSZ);

  // As a search leaves it that chose a port which then does not open.
  ::setenv("RK_COM9", (bench->dir() + "/no-such-port").c_str(), 1);
  app::theDevice->lock();
  app::theDevice->close();
  app::theDevice->reopen("rk.dll,9,57600,10,100", 1);
  app::theDevice->unlock();
  ::unsetenv("RK_COM9");
  ASSERT_TRUE(waitUntil([&] { return text(kPortBox).isEmpty(); }));
  QTest::qWait(2 * app::CSentuneDlg::kRefreshPeriodMs);
  for (int id : std::initializer_list<int>{
           kPortBox,        kSpeedBox,         kAddressBox, kFirmwareBox, kNumberBox, kLabelY,
           kValueY,         kLabelSZ,          kValueSZ,    kLabelWX,     kValueWX,   kStatusY,
           kSetpointLabel0, kSetpointBox0 + 5, kAuxS,       kAuxW,        kAuxAlarm,  kAlarmSamples,
           kMaxValue,       kGoodReplies,      kBadAttempts}) {
    EXPECT_TRUE(text(id).isEmpty()) << id << ": " << text(id).toStdString();
  }
  for (int id : {kChangeExchange, kChangeNumber, kCalibrate, kUpload, kReadTables, kWriteTables,
                 kSetpoints, kTestSignal}) {
    EXPECT_FALSE(enabled(id)) << id;
  }
  EXPECT_FALSE(window->isItemChecked(kTestSignal));
  EXPECT_FALSE(shown(kAdditional));
  EXPECT_TRUE(shown(kValueY)) << "row Y stays for every kind but 1";
  for (int id : {kSearch, kResetLimits, kResetStatistics, kExit})
    EXPECT_TRUE(enabled(id)) << id;
  // The last extremes stay in view.
  EXPECT_EQ(text(kMinSZ), minSZ);
  EXPECT_FALSE(text(kMaxWX).isEmpty());
}

TEST_F(MainWindow, StartsWithoutSensorAndWithoutModule) {
  struct Case {
    const char *what;
    const char *variable, *value;  // how the E-140 module is missing
    const char *adcStatus;
    const char *screenshot;  // a picture of the window, or none
  } cases[] = {
      {"no module answers", "SENTUNE_E140_PRESENT", "0", "модуль E-140 не найден",
       "main_window_no_sensor"},
      {"no module library", "SENTUNE_LUSBAPI", "/nonexistent/liblusbapi.so",
       "ввод на частоте 30000 Гц, усреднение по 15008 точкам", nullptr},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    const std::string saved = std::getenv(c.variable) ? std::getenv(c.variable) : "";
    ::setenv(c.variable, c.value, 1);
    bench = std::make_unique<SimBench>(SimBench::Options{.type = qvzsim::kThreeAxis});
    bench->writeIni("rk.dll,9,57600,10,100", 1);  // COM9 leads nowhere
    ::setenv("RK_COM9", (bench->dir() + "/no-such-port").c_str(), 1);
    open();
    EXPECT_TRUE(waitUntil([&] { return text(kAdcStatus) == QString::fromUtf8(c.adcStatus); }))
        << text(kAdcStatus).toStdString();
    EXPECT_TRUE(text(kAdcValue).isEmpty()) << text(kAdcValue).toStdString();
    EXPECT_TRUE(text(kPortBox).isEmpty());
    EXPECT_FALSE(text(kLastError).isEmpty()) << "why the port did not open";
    EXPECT_TRUE(text(kValueSZ).isEmpty());
    EXPECT_FALSE(enabled(kSetpoints));
    EXPECT_TRUE(enabled(kSearch));
    if (c.screenshot != nullptr) {
      EXPECT_TRUE(testsupport::saveScreenshot(window.get(), QString::fromUtf8(c.screenshot)));
    }
    window.reset();
    bench.reset();
    ::unsetenv("RK_COM9");
    if (saved.empty()) {
      ::unsetenv(c.variable);
    } else {
      ::setenv(c.variable, saved.c_str(), 1);
    }
  }
}

TEST_F(MainWindow, SwitchesChangeExactlyTheirButtons) {
  struct Case {
    const char *commandLine;
    int32_t number;
    bool numberButton, upload, calibrate, test;
    const char *screenshot = nullptr;  // a picture of the window, or none
  } cases[] = {
      {"x/ndy/send/calibr/test", 5, true, true, true, true, "main_window_type2"},
      {"", 5, false, false, false, false},
      {"", 0, true, false, false, false},  // number 0 may always be changed
      {"/nd", 5, true, false, false, false},
      {"/send", 5, false, true, false, false},
      {"/calibr", 5, false, false, true, false},
      {"/test", 5, false, false, false, true},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(std::string("command line '") + c.commandLine + "', number " +
                 std::to_string(c.number));
    start({.type = qvzsim::kThreeAxis, .sensorNumber = c.number}, c.commandLine);
    ASSERT_TRUE(waitLive());
    ASSERT_TRUE(waitUntil([&] { return text(kNumberBox) == QString::number(c.number); }));
    QTest::qWait(2 * app::CSentuneDlg::kRefreshPeriodMs);
    EXPECT_EQ(enabled(kChangeNumber), c.numberButton);
    EXPECT_EQ(shown(kUpload), c.upload);
    EXPECT_TRUE(enabled(kUpload)) << "enabled for a recognised sensor, shown or not";
    EXPECT_EQ(enabled(kCalibrate), c.calibrate);
    EXPECT_EQ(shown(kTest), c.test);
    for (int id : {kChangeExchange, kSetpoints, kSearch, kResetLimits}) {
      EXPECT_TRUE(enabled(id)) << id;
    }
    if (c.screenshot != nullptr) {
      // Counted afresh ("Сброс": earlier tests used COM1 too), with the
      // extremes and the reference ADC's value in view.
      const int before = text(kGoodReplies).toInt();
      QTest::mouseClick(window->item(kResetStatistics), Qt::LeftButton);
      EXPECT_TRUE(waitUntil(
          [&] { return text(kGoodReplies).toInt() > 0 && text(kGoodReplies).toInt() < before; },
          kOnlineMs));
      EXPECT_TRUE(waitUntil([&] { return !text(kMaxY).isEmpty() && !text(kAdcValue).isEmpty(); },
                            kOnlineMs));
      EXPECT_TRUE(testsupport::saveScreenshot(window.get(), QString::fromUtf8(c.screenshot)));
    }
    window.reset();
    bench.reset();
  }
}

TEST_F(MainWindow, AboutBoxFromF1OrTheContextMenuHoldsTheDeviceWhileOpen) {
  start({.type = qvzsim::kThreeAxis});
  ASSERT_TRUE(waitLive());

  // Looks at the About box from inside its modal loop and closes it.
  struct Seen {
    QString caption;
    bool held = false;
  };
  const auto watchAbout = [](Seen &seen) {
    testsupport::whenModal<app::CAboutDlg>([&seen](app::CAboutDlg &about) {
      seen.caption = about.windowTitle();
      seen.held = app::theDevice->workerState() == device::TQVZ2::Held;
      EXPECT_TRUE(testsupport::saveScreenshot(&about, QStringLiteral("about_dialog")));
      QTest::keyClick(&about, Qt::Key_Escape);
    });
  };

  Seen byKey;
  watchAbout(byKey);
  QTest::keyClick(window.get(), Qt::Key_F1);
  EXPECT_EQ(byKey.caption, "О программе");
  EXPECT_TRUE(byKey.held);
  EXPECT_EQ(app::theDevice->workerState(), device::TQVZ2::Free);

  Seen byMenu;
  QString entry;
  QTimer::singleShot(0, [&] {
    ASSERT_TRUE(waitUntil([] { return qobject_cast<QMenu *>(QApplication::activePopupWidget()); }));
    auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
    ASSERT_EQ(menu->actions().size(), 1);
    entry = menu->actions().front()->text();
    watchAbout(byMenu);
    QTest::keyClick(menu, Qt::Key_Down);
    QTest::keyClick(menu, Qt::Key_Return);
  });
  const QPoint at(10, 10);
  QContextMenuEvent click(QContextMenuEvent::Mouse, at, window->mapToGlobal(at));
  QApplication::sendEvent(window.get(), &click);
  EXPECT_EQ(entry, "&О программе...");
  EXPECT_EQ(byMenu.caption, "О программе");
  EXPECT_TRUE(byMenu.held);
  EXPECT_EQ(app::theDevice->workerState(), device::TQVZ2::Free);
}

TEST_F(MainWindow, RunsModallyUntilEscAndThenReleasesEverything) {
  bench = std::make_unique<SimBench>(SimBench::Options{.type = qvzsim::kThreeAxis});
  auto w = std::make_unique<app::CSentuneDlg>(bench->exePath(), "");
  QTimer::singleShot(0, [&] {
    EXPECT_TRUE(waitUntil(
        [&] { return QRegularExpression("^\\s*-?\\d").match(w->itemText(kValueSZ)).hasMatch(); },
        kOnlineMs));
    // Enter presses the focused button, "Поиск..." here, and never closes the
    // main window, which has no OK button.
    bool searched = false;
    testsupport::whenModal<search::CConnect>([&](search::CConnect &d) {
      searched = true;
      QTest::keyClick(&d, Qt::Key_Escape);
    });
    w->item(kSearch)->setFocus();
    QTest::keyClick(w.get(), Qt::Key_Return);
    EXPECT_TRUE(searched);
    EXPECT_TRUE(w->isVisible());
    QTest::keyClick(w.get(), Qt::Key_Escape);
  });
  EXPECT_EQ(w->runModal(), 2);
  EXPECT_NE(app::theDevice, nullptr);
  w.reset();
  EXPECT_EQ(app::theAdc, nullptr);
  EXPECT_EQ(app::theDevice, nullptr);
}

}  // namespace
