// The main window's commands for a three-component sensor: "Калибровка..."
// runs the three-component calibration, "Тест" the sensor test, each over the
// live main window, against a simulated sensor and the simulated E-140.
#include <gtest/gtest.h>

#include <QApplication>
#include <QRegularExpression>
#include <QTest>
#include <functional>
#include <memory>
#include <string>

#include "app/globals.h"
#include "app/main_window.h"
#include "calibration/config3k.h"
#include "calibration/test_dialog.h"
#include "resources/config3k_dialog.h"
#include "resources/main_dialog.h"
#include "resources/test_dialog.h"
#include "tests/support/dialog_driver.h"
#include "tests/support/qt_app.h"
#include "tests/support/sim_bench.h"

namespace {

using testsupport::SimBench;
using testsupport::waitUntil;

constexpr int kSlowMs = 30000;

class ThreeAxisCommands : public ::testing::Test {
 protected:
  void SetUp() override {
    bench = std::make_unique<SimBench>(SimBench::Options{.type = qvzsim::kThreeAxis});
    sensor().setNoise(0);
    sensor().setVelocity(qvzsim::Axis::Z, 3.0);
    sensor().setVelocity(qvzsim::Axis::X, 4.0);
    sensor().setVelocity(qvzsim::Axis::Y, 5.0);
    window = std::make_unique<app::CSentuneDlg>(bench->exePath(), "/calibr /test");
    window->show();
    // Online: a reading of axis Z, and the buttons of a type-2 sensor with both switches.
    static const QRegularExpression number(QStringLiteral("^\\s*-?\\d+\\.\\d\\d$"));
    ASSERT_TRUE(waitUntil(
        [&] {
          return number.match(mainText(resources::kValueSZ)).hasMatch() &&
                 window->isItemEnabled(resources::kCalibrate) &&
                 window->isItemShown(resources::kTest);
        },
        kSlowMs))
        << window->itemText(resources::kLastError).toStdString();
  }
  void TearDown() override {
    window.reset();
    bench.reset();
  }

  qvzsim::Sensor &sensor() { return bench->sensor(); }
  float reg(uint16_t r) { return sensor().holdingFloat(r).value_or(-1.0f); }
  QString mainText(int id) const { return window->itemText(id); }

  // The user clicks a main-window button; `act` runs inside the dialog of
  // class T it opens and must end it (so it uses no ASSERT).
  template <class T>
  void command(int button, std::function<void(T &)> act) {
    bool shown = false;
    testsupport::whenModal<T>(std::move(act), &shown);
    QTest::mouseClick(window->item(button), Qt::LeftButton);
    EXPECT_TRUE(shown) << "command " << button << " opened no dialog";
  }
  static void enter(ui::Dialog &d, int id, const QString &typed) {
    EXPECT_TRUE(testsupport::enterText(d.item(id), typed)) << "no focus in " << id;
  }

  std::unique_ptr<SimBench> bench;
  std::unique_ptr<app::CSentuneDlg> window;
};

TEST_F(ThreeAxisCommands, CalibrateRunsTheThreeComponentDialog) {
  using namespace resources;
  command<calibration::CConfig3K>(kCalibrate, [&](calibration::CConfig3K &d) {
    EXPECT_EQ(d.parentWidget(), window.get());
    EXPECT_EQ(d.windowTitle(), "Калибровка трехкомпонентного датчика");
    enter(d, k3KVoltageY, "0.6");
    EXPECT_TRUE(waitUntil([&] { return reg(12) == 6.0f; }, kSlowMs)) << reg(12);
    EXPECT_TRUE(waitUntil([&] { return d.isItemEnabled(k3KCalibrateY); }, kSlowMs));
    QTest::mouseClick(d.item(k3KCalibrateY), Qt::LeftButton);
    EXPECT_TRUE(waitUntil([&] { return reg(14) != 1.0f; }, kSlowMs));
    QTest::mouseClick(d.item(1), Qt::LeftButton);
  });
  // Nothing follows the dialog; the main window shows the calibrated axis Y.
  EXPECT_EQ(sensor().status().restarts, 0u);
  EXPECT_TRUE(waitUntil([&] { return mainText(kValueY).trimmed() == "6.00"; }, kSlowMs))
      << mainText(kValueY).toStdString();
}

TEST_F(ThreeAxisCommands, TestHoldsTheSensorInTestModeWhileTheMainWindowShowsItsValues) {
  using namespace resources;
  // The bench's 3 mm/s as the uncalibrated axis Z sees it.
  ASSERT_TRUE(waitUntil([&] { return mainText(kValueSZ).toFloat() > 2.0f; }, kSlowMs))
      << mainText(kValueSZ).toStdString();
  const float z = mainText(kValueSZ).toFloat();
  command<calibration::CTestDlg>(kTest, [&](calibration::CTestDlg &d) {
    EXPECT_TRUE(waitUntil([&] { return sensor().status().testMode; }, kSlowMs));
    const struct {
      int edit;
      const char *typed;
      int mainField;
      const char *shown;
    } values[] = {{kTestValue1, "12.5", kValueSZ, "12.50"},
                  {kTestValue2, "33", kValueWX, "33.00"},
                  {kTestValue3, "0.25", kValueY, "0.25"}};
    for (const auto &v : values) {
      enter(d, v.edit, v.typed);
      EXPECT_TRUE(waitUntil([&] { return mainText(v.mainField).trimmed() == v.shown; }, kSlowMs))
          << v.typed << ": the main window shows '" << mainText(v.mainField).toStdString() << "'";
    }
    d.close();  // the close box
  });
  EXPECT_FALSE(sensor().status().testMode);
  EXPECT_EQ(reg(60), 12.5f);
  EXPECT_TRUE(waitUntil([&] { return mainText(kValueSZ).toFloat() == z; }, kSlowMs))
      << "measured again: " << mainText(kValueSZ).toStdString();
}

}  // namespace
