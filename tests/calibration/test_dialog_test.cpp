// CTestDlg run modally, as the main window runs it, against simulated
// sensors of both types: its layout by type, the values written to the
// sensor's test registers, and test mode on exactly while it is open.
#include <gtest/gtest.h>

#include <QPushButton>
#include <QTest>
#include <functional>
#include <memory>
#include <string>

#include "calibration/test_dialog.h"
#include "device/qvz2.h"
#include "dialogs/numeric_edit.h"
#include "resources/test_dialog.h"
#include "tests/support/dialog_driver.h"
#include "tests/support/qt_app.h"
#include "tests/support/sim_bench.h"

namespace calibration {
namespace {

using namespace resources;
using testsupport::SimBench;
using testsupport::waitUntil;

// A type-1 sensor's first poll reads its tables; on a loaded machine under a sanitizer.
constexpr int kSlowMs = 30000;

class TestDialog : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { dialogs::registerNumericControls(); }

  // A sensor of `type` with the device online.
  void start(int type) {
    bench = std::make_unique<SimBench>(SimBench::Options{.type = type});
    dev = std::make_unique<device::TQVZ2>(bench->iniPath());
    ASSERT_TRUE(waitUntil([&] { return dev->snapshot().online; }, kSlowMs))
        << dev->snapshot().lastError;
  }
  void TearDown() override {
    dev.reset();
    bench.reset();
  }

  qvzsim::Sensor &sensor() { return bench->sensor(); }
  float reg(uint16_t r) { return sensor().holdingFloat(r).value_or(-1.0f); }
  // A register's value as the dialog shows it.
  QString stored(uint16_t r) { return QString::asprintf("%.3f", double(reg(r))); }

  // Runs the dialog modally; `act` runs inside it once it is shown and must
  // end it (so it uses no ASSERT). The dialog is destroyed when run() returns.
  void run(const std::function<void(CTestDlg &)> &act) {
    bool shown = false;
    testsupport::whenModal<CTestDlg>(act, &shown);
    {
      CTestDlg dialog(*dev);
      dialog.runModal();
    }
    EXPECT_TRUE(shown);
  }

  static QString text(const CTestDlg &d, int id) { return d.itemText(id); }
  static dialogs::CEdit1 *edit(const CTestDlg &d, int id) { return d.control<dialogs::CEdit1>(id); }
  // The user types a value into an edit and presses Enter.
  static void enter(CTestDlg &d, int id, const QString &typed) {
    EXPECT_TRUE(testsupport::enterText(d.item(id), typed)) << "no focus in " << id;
  }
  bool testMode() { return sensor().status().testMode; }

  std::unique_ptr<SimBench> bench;
  std::unique_ptr<device::TQVZ2> dev;
};

TEST_F(TestDialog, LayoutFollowsTheSensorType) {
  struct Case {
    const char *what;
    int type;
    bool testSignal;
    const char *label1, *label2;
    bool enabled, third;
    float minimum, maximum;
    const char *screenshot;
  } cases[] = {
      {"gap and vibration", qvzsim::kGapVibration, false,
       "Зазор S, мм:", "Виброперем. W, мм:", true, false, -6, 6, "test_dialog_type1"},
      {"three-component", qvzsim::kThreeAxis, false, "Ось Z, мм/с:", "Ось X, мм/с:", true, true, 0,
       100, "test_dialog_type2"},
      {"three-component with its test signal on", qvzsim::kThreeAxis, true,
       "Зазор S, мм:", "Виброперем. W, мм:", false, false, 0, 0, nullptr},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    start(c.type);
    if (c.testSignal) {
      dev->setTestSignal(true);
      ASSERT_TRUE(waitUntil([&] { return dev->snapshot().inputs.sensorType == 3.0f; }, kSlowMs));
    }
    run([&](CTestDlg &d) {
      EXPECT_EQ(d.windowTitle(), "Тест QVZ2");
      EXPECT_EQ(text(d, kTestLabel1), c.label1);
      EXPECT_EQ(text(d, kTestLabel2), c.label2);
      EXPECT_EQ(text(d, kTestLabel3), "Ось Y, мм/с");
      for (int id : {kTestLabel1, kTestValue1, kTestLabel2, kTestValue2})
        EXPECT_EQ(d.isItemEnabled(id), c.enabled) << id;
      EXPECT_EQ(d.isItemShown(kTestLabel3), c.third);
      EXPECT_EQ(d.isItemShown(kTestValue3), c.third);
      for (int id : {kTestValue1, kTestValue2, kTestValue3}) {
        EXPECT_EQ(edit(d, id)->minimum(), c.minimum) << id;
        EXPECT_EQ(edit(d, id)->maximum(), c.maximum) << id;
      }
      EXPECT_TRUE(waitUntil([&] { return testMode(); }, kSlowMs));
      if (c.enabled) {
        // The stored test values as soon as the sensor is read, the first one included.
        EXPECT_TRUE(waitUntil([&] { return text(d, kTestValue1) == stored(60); }, kSlowMs))
            << text(d, kTestValue1).toStdString() << " for " << reg(60);
        EXPECT_EQ(text(d, kTestValue2), stored(62));
        EXPECT_EQ(testsupport::unnamedControls(d), std::vector<int>{});
        EXPECT_EQ(edit(d, kTestValue2)->accessibleName(),
                  QString::fromUtf8(c.label2).chopped(1));  // without its colon
      }
      if (c.screenshot) {
        EXPECT_TRUE(testsupport::saveScreenshot(&d, c.screenshot));
      }
      QTest::mouseClick(d.item(2), Qt::LeftButton);
    });
    EXPECT_FALSE(testMode());
    TearDown();
  }
}

TEST_F(TestDialog, GapAndVibrationValuesAreCheckedAndWritten) {
  start(qvzsim::kGapVibration);
  const uint64_t writesBefore = sensor().requestCount(16);
  const float stored64 = reg(64);
  run([&](CTestDlg &d) {
    EXPECT_TRUE(waitUntil([&] { return text(d, kTestValue1) == stored(60); }, kSlowMs));
    const QString before = text(d, kTestValue1);
    enter(d, kTestValue1, "7");  // above 6 mm
    EXPECT_EQ(text(d, kTestValue1), before);
    EXPECT_EQ(edit(d, kTestValue1)->state(), dialogs::EntryState::Idle);
    QTest::qWait(3 * CTestDlg::kTimerPeriodMs);
    EXPECT_EQ(sensor().requestCount(16), writesBefore) << "nothing written";

    enter(d, kTestValue1, "-2.5");
    EXPECT_TRUE(waitUntil([&] { return reg(60) == -2.5f; }, kSlowMs));
    EXPECT_TRUE(waitUntil([&] { return text(d, kTestValue1) == "-2.500"; }, kSlowMs));
    // In test mode the sensor reports its test value as the gap.
    EXPECT_TRUE(waitUntil([&] { return dev->snapshot().inputs.valueSZ == -2.5f; }, kSlowMs));
    enter(d, kTestValue2, "4.25");
    EXPECT_TRUE(waitUntil([&] { return reg(62) == 4.25f; }, kSlowMs));
    QTest::keyClick(&d, Qt::Key_Escape);
  });
  EXPECT_FALSE(testMode());
  EXPECT_EQ(reg(64), stored64);
}

TEST_F(TestDialog, ThreeComponentValuesAreWrittenAndTestModeEndsWithTheWindow) {
  start(qvzsim::kThreeAxis);
  // However the dialog ends, the sensor leaves test mode when it is destroyed.
  struct Close {
    const char *how;
    std::function<void(CTestDlg &)> close;
  } closes[] = {
      {"OK", [](CTestDlg &d) { QTest::mouseClick(d.item(1), Qt::LeftButton); }},
      {"Cancel", [](CTestDlg &d) { QTest::mouseClick(d.item(2), Qt::LeftButton); }},
      {"Escape", [](CTestDlg &d) { QTest::keyClick(&d, Qt::Key_Escape); }},
      {"close box", [](CTestDlg &d) { d.close(); }},
  };
  const float stored60 = reg(60), stored62 = reg(62);
  float value = 50.0f;
  for (const Close &c : closes) {
    SCOPED_TRACE(c.how);
    run([&](CTestDlg &d) {
      EXPECT_TRUE(waitUntil([&] { return testMode(); }, kSlowMs));
      enter(d, kTestValue3, QString::number(value));
      EXPECT_TRUE(waitUntil([&] { return reg(64) == value; }, kSlowMs));
      EXPECT_TRUE(waitUntil([&] { return dev->snapshot().inputs.valueY == value; }, kSlowMs));
      EXPECT_TRUE(testMode());
      c.close(d);
    });
    EXPECT_FALSE(testMode());
    value += 10.0f;
  }
  EXPECT_EQ(reg(60), stored60);
  EXPECT_EQ(reg(62), stored62);
}

}  // namespace
}  // namespace calibration
