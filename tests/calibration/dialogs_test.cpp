// The calibration dialogs against a simulated type-1 sensor and the simulated
// E-140 module, driven with real clicks and keys; what they do is checked in
// the sensor's registers, coils and output currents.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <bit>
#include <cstdint>
#include <memory>

#include "calibration/config_dac.h"
#include "calibration/dac_correction.h"
#include "device/qvz2.h"
#include "dialogs/numeric_entry.h"
#include "resources/dac_dialog.h"
#include "tests/support/dialog_driver.h"
#include "tests/support/qt_app.h"
#include "tests/support/scripted_prompts.h"
#include "tests/support/sim_bench.h"

namespace calibration {
namespace {

using testsupport::waitUntil;

// Input registers of the simulated sensor.
constexpr uint16_t kInValueWX = 2;

// Time for a type-1 sensor to come online: identification, configuration and
// the two tables, on a loaded machine under a sanitizer.
constexpr int kOnlineMs = 30000;

float inputFloat(const qvzsim::Sensor &s, uint16_t reg) {
  const std::array<uint16_t, 32> in = s.measure();
  return std::bit_cast<float>(static_cast<uint32_t>(in[reg]) | static_cast<uint32_t>(in[reg + 1])
                                                                   << 16);
}

// Requests of a function that touch register `reg`.
int requestsTouching(const qvzsim::Sensor &s, int function, uint16_t reg) {
  int n = 0;
  for (const qvzsim::Request &r : s.requests()) {
    if (r.function == function && r.start <= reg && reg < r.start + r.count) ++n;
  }
  return n;
}

class CalibrationDialogs : public ::testing::Test {
 protected:
  void SetUp() override {
    bench = std::make_unique<testsupport::SimBench>(testsupport::SimBench::Options{});
    sensor().setNoise(0.0);
    dev = std::make_unique<device::TQVZ2>(bench->iniPath());
    ASSERT_TRUE(waitUntil([&] { return dev->snapshot().online; }, kOnlineMs))
        << dev->snapshot().lastError;
  }
  void TearDown() override {
    dev.reset();
    bench.reset();
  }
  qvzsim::Sensor &sensor() { return bench->sensor(); }

  // The user replaces the text of an edit by typing.
  static void type(QWidget *edit, const QString &text) {
    QTest::mouseClick(edit, Qt::LeftButton, Qt::NoModifier, QPoint(4, edit->height() / 2));
    QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
    if (text.isEmpty()) {
      QTest::keyClick(edit, Qt::Key_Backspace);
    } else {
      QTest::keyClicks(edit, text);
    }
  }
  static void click(ui::Dialog &d, int id) {
    QWidget *w = d.item(id);
    ASSERT_NE(w, nullptr) << id;
    QTest::mouseClick(w, Qt::LeftButton);
  }

  std::unique_ptr<testsupport::SimBench> bench;
  std::unique_ptr<device::TQVZ2> dev;
  testsupport::ScriptedPrompts prompts;
  testsupport::PromptsScope promptsScope{prompts};
};

// ---- CConfigDAC ----

using namespace resources;

TEST_F(CalibrationDialogs, DacCalibrationMakesOutputTwoTrue) {
  // Output 2 follows W over the full scale of 250 um: 4 + 16 W / 250 mA.
  sensor().setGap(1.5);
  sensor().setVibration(120.0);
  auto nominal = [&] { return 4.0 + 16.0 * inputFloat(sensor(), kInValueWX) / 250.0; };
  auto output2 = [&] { return double(sensor().status().dacCurrentMa[1]); };
  ASSERT_GT(std::abs(output2() - nominal()), 0.02) << "the output is off before calibration";

  CConfigDAC dac(*dev);
  dac.showModeless();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&dac));
  EXPECT_EQ(dac.itemText(kDac1OutMin), "4");
  EXPECT_EQ(dac.itemText(kDac1OutMax), "20");
  EXPECT_EQ(dac.itemText(kDac2OutMin), "4") << "dac2OutMin of the sensor";
  EXPECT_EQ(dac.itemText(kDac2OutMax), "20");
  for (int id : {kDac1Min, kDac1Max, kDac1OutMin, kDac1OutMax, kDac1Calibrate, kDac1Cancel})
    EXPECT_FALSE(dac.isItemEnabled(id)) << id;
  for (int id :
       {kDac2Min, kDac2Max, kDac2OutMin, kDac2OutMax, kDac2Calibrate, kDac2Cancel, kDacExit})
    EXPECT_TRUE(dac.isItemEnabled(id)) << id;
  EXPECT_EQ(testsupport::unnamedControls(dac), std::vector<int>{});

  // The technician drives the output to its ends and types what the ammeter shows.
  click(dac, kDac2Min);
  ASSERT_EQ(sensor().status().dac, qvzsim::DacOutput::Minimum);
  const QString a = dialogs::formatValue("%g", output2());
  type(dac.item(kDac2OutMin), a);
  click(dac, kDac2Max);
  ASSERT_EQ(sensor().status().dac, qvzsim::DacOutput::Maximum);
  const QString b = dialogs::formatValue("%g", output2());
  type(dac.item(kDac2OutMax), b);
  QTest::keyClick(dac.item(kDac2OutMax), Qt::Key_Return);
  EXPECT_FALSE(dac.isEnded()) << "Enter in an edit does not close the dialog";
  EXPECT_TRUE(testsupport::saveScreenshot(&dac, QStringLiteral("calibration_dac")));

  click(dac, kDac2Calibrate);
  EXPECT_TRUE(prompts.messages.empty());
  const DacCorrection k = dacCorrection(0.0f, a.toFloat(), b.toFloat());
  EXPECT_EQ(sensor().holdingFloat(50), k.gain);
  EXPECT_EQ(sensor().holdingFloat(52), k.offset);
  EXPECT_EQ(sensor().holdingFloat(54), a.toFloat());
  EXPECT_EQ(sensor().holdingFloat(56), b.toFloat());
  // Output 1 keeps its correction.
  EXPECT_EQ(sensor().holdingFloat(42), 1.0f);
  EXPECT_EQ(sensor().holdingFloat(44), 0.0f);
  EXPECT_EQ(sensor().holdingFloat(46), 4.0f);
  EXPECT_EQ(sensor().holdingFloat(48), 20.0f);
  EXPECT_EQ(sensor().status().commits, 1u);
  EXPECT_EQ(sensor().status().restarts, 1u);
  EXPECT_EQ(dac.itemText(kDac2OutMin), a);

  // Back from the restart, "Отмена" returns the output to normal operation:
  // it now gives the nominal current of the reading.
  ASSERT_TRUE(waitUntil([&] { return !sensor().status().restarting; }, kOnlineMs));
  click(dac, kDac2Cancel);
  EXPECT_EQ(sensor().status().dac, qvzsim::DacOutput::Normal);
  EXPECT_NEAR(output2(), nominal(), 0.002);
  click(dac, kDacExit);
  EXPECT_TRUE(dac.isEnded());
}

TEST_F(CalibrationDialogs, DacReadingsOutsideZeroToThirtyAreRefused) {
  struct Case {
    const char *min, *max;
    const char *shownMin, *shownMax;  // the readings written back
  };
  const Case cases[] = {
      {"31", "20", "31", "20"},  {"4", "-0.5", "4", "-0.5"},
      {"abc", "20", "4", "20"},  // not a number: the reading keeps its value
      {"", "20", "4", "20"},     // nothing typed is no reading
      {"4", "1e3", "4", "1000"},
  };
  CConfigDAC dac(*dev);
  dac.showModeless();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&dac));
  for (const Case &c : cases) {
    prompts.messages.clear();
    type(dac.item(kDac2OutMin), QString::fromUtf8(c.min));
    type(dac.item(kDac2OutMax), QString::fromUtf8(c.max));
    click(dac, kDac2Calibrate);
    ASSERT_EQ(prompts.messages.size(), 1u) << c.min << " " << c.max;
    EXPECT_EQ(prompts.messages[0].text, "Ошибка! Введите корректные значения.");
    EXPECT_EQ(dac.itemText(kDac2OutMin), c.shownMin);
    EXPECT_EQ(dac.itemText(kDac2OutMax), c.shownMax);
    // Restore what the next case starts from.
    type(dac.item(kDac2OutMin), "4");
    type(dac.item(kDac2OutMax), "20");
  }
  EXPECT_EQ(requestsTouching(sensor(), 16, 50), 0) << "nothing written";
  EXPECT_EQ(sensor().status().restarts, 0u);
}

}  // namespace
}  // namespace calibration
