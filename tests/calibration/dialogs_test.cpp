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
#include <fstream>
#include <memory>

#include "adc/te140.h"
#include "calibration/channel_rules.h"
#include "calibration/config_dac.h"
#include "calibration/config_s.h"
#include "calibration/config_w.h"
#include "calibration/dac_correction.h"
#include "calibration/graph.h"
#include "device/qvz2.h"
#include "dialogs/numeric_combo.h"
#include "dialogs/numeric_edit.h"
#include "dialogs/numeric_entry.h"
#include "resources/dac_dialog.h"
#include "resources/gap_calibration_dialog.h"
#include "resources/kw_calibration_dialog.h"
#include "tests/support/dialog_driver.h"
#include "tests/support/qt_app.h"
#include "tests/support/scripted_prompts.h"
#include "tests/support/sim_bench.h"

namespace calibration {
namespace {

using testsupport::waitUntil;

// Input and holding registers of the simulated sensor.
constexpr uint16_t kInValueSZ = 0;
constexpr uint16_t kInValueWX = 2;
constexpr uint16_t kInVoltageUs = 20;
constexpr uint16_t kKs2 = 4028;
constexpr uint16_t kKw2 = 4030;

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
  static void SetUpTestSuite() {
    dialogs::registerNumericControls();
    registerGraph();
  }
  void SetUp() override {
    bench =
        std::make_unique<testsupport::SimBench>(testsupport::SimBench::Options{.restartMs = 200});
    sensor().setNoise(0.0);
  }
  // Starts the device with `settings` added to section SETTINGS of the INI file.
  ::testing::AssertionResult open(const std::string &settings = "") {
    std::ofstream(bench->iniPath(), std::ios::app) << settings;
    dev = std::make_unique<device::TQVZ2>(bench->iniPath());
    if (waitUntil([&] { return dev->snapshot().online; }, kOnlineMs))
      return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "not online: " << dev->snapshot().lastError;
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
  // The user types a number into a numeric control and presses Enter.
  static void enter(QWidget *control, const QString &text) {
    type(control, text);
    QTest::keyClick(control, Qt::Key_Return);
  }
  static void click(ui::Dialog &d, int id) {
    QWidget *w = d.item(id);
    ASSERT_NE(w, nullptr) << id;
    QTest::mouseClick(w, Qt::LeftButton);
  }

  // Waits until a dialog's Us edit holds the voltage the sensor measures now.
  ::testing::AssertionResult waitForUs(ui::Dialog &d, int id) {
    const float us = inputFloat(sensor(), kInVoltageUs);
    auto *edit = d.control<dialogs::CEdit1>(id);
    if (waitUntil([&] { return edit->value() == us; }, kOnlineMs))
      return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "Us edit " << edit->value() << ", sensor " << us;
  }
  // Sets the bench gap and waits for the dialog to show its voltage.
  ::testing::AssertionResult moveTo(ui::Dialog &d, int usEdit, double gap) {
    sensor().setGap(gap);
    return waitForUs(d, usEdit);
  }
  // Waits for a few of the dialog's ticks.
  static void ticks(int n) { QTest::qWait(n * CConfigS::kTimerPeriodMs); }

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

  ASSERT_TRUE(open());
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
      {"31", "20", "31", "20"},
      {"4", "-0.5", "4", "-0.5"},
      {"abc", "20", "4", "20"},  // not a number: the reading keeps its value
      {"", "20", "4", "20"},     // nothing typed is no reading
      {"4", "1e3", "4", "1000"},
      // Within the range, but a span so small that gain and offset overflow.
      {"0", "1e-45", "0", "1.4013e-45"},
  };
  ASSERT_TRUE(open());
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

// ---- CConfigS ----

QString text(const ui::Dialog &d, int id) {
  return d.itemText(id);
}

TEST_F(CalibrationDialogs, GapPointsTakeTheVoltageAtTheirReferenceGap) {
  ASSERT_TRUE(open("S3=-1\n"));  // point 2 is switched off
  CConfigS s(*dev);
  s.showModeless();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&s));
  EXPECT_EQ(text(s, kGapPointRef0), "S=0.000");
  EXPECT_EQ(text(s, kGapPointRef0 + 1), "S=0.400");
  EXPECT_EQ(text(s, kGapPointRef0 + 2), "") << "a negative reference gets no label";
  EXPECT_EQ(text(s, kGapPointRef0 + 9), "S=6.050");

  auto uLabel = [&](int i) { return text(s, kGapPointU0 + i); };
  auto take = [&](int i, double gap) {
    ASSERT_TRUE(moveTo(s, kGapUs, gap));
    click(s, kGapTake0 + i);
    ASSERT_EQ(uLabel(i), dialogs::formatValue("U=%.3f", inputFloat(sensor(), kInVoltageUs)));
  };
  ASSERT_TRUE(moveTo(s, kGapUs, 0.0));
  EXPECT_EQ(text(s, kGapUs), dialogs::formatValue("%.3f", inputFloat(sensor(), kInVoltageUs)));
  take(0, 0.0);
  take(1, 0.4);
  take(3, 1.6);
  take(4, 2.3);
  take(6, 3.8);

  ASSERT_TRUE(moveTo(s, kGapUs, 0.9));
  click(s, kGapTake0 + 2);
  EXPECT_EQ(uLabel(2), "") << "a switched-off point never becomes valid";

  // A second press replaces the voltage; "R" clears the point.
  const QString before = uLabel(1);
  take(1, 0.45);
  EXPECT_NE(uLabel(1), before);
  click(s, kGapClear0 + 1);
  EXPECT_EQ(uLabel(1), "");
  take(1, 0.4);
  ticks(2);
  EXPECT_FALSE(uLabel(3).isEmpty()) << "the ticks keep the labels of the points";

  EXPECT_TRUE(testsupport::saveScreenshot(&s, QStringLiteral("calibration_s")));
  EXPECT_EQ(testsupport::unnamedControls(s), std::vector<int>{});
  EXPECT_EQ(s.item(kGapGraph)->accessibleName(), "S,мм");
  EXPECT_EQ(s.item(kGapError)->accessibleName(), "Погрешность S, %");
  EXPECT_FALSE(s.coefficientWritten());
}

TEST_F(CalibrationDialogs, GapGainTypedOrFromTheTrueGap) {
  sensor().setGap(2.0);
  ASSERT_TRUE(open());
  CConfigS s(*dev);
  s.showModeless();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&s));
  ASSERT_TRUE(waitForUs(s, kGapUs));
  EXPECT_EQ(text(s, kGapKs2), "1");
  EXPECT_EQ(text(s, kGapError), "") << "no reference gap yet";

  enter(s.item(kGapKs2), "0");  // below the range: refused by the edit
  ticks(3);
  EXPECT_EQ(requestsTouching(sensor(), 16, kKs2), 0);
  EXPECT_FALSE(s.coefficientWritten());

  enter(s.item(kGapKs2), "1.25");
  ASSERT_TRUE(waitUntil([&] { return sensor().holdingFloat(kKs2) == 1.25f; }));
  EXPECT_TRUE(s.coefficientWritten());

  // Typing the true gap scales ks2 so that the present reading becomes it.
  ASSERT_TRUE(waitUntil([&] { return text(s, kGapKs2) == "1.25"; }));
  const float reading = inputFloat(sensor(), kInValueSZ);
  ASSERT_TRUE(waitUntil([&] { return s.control<dialogs::CEdit1>(kGapValue)->value() == reading; }));
  enter(s.item(kGapValue), "2.000");
  ASSERT_TRUE(waitUntil([&] { return sensor().holdingFloat(kKs2) != 1.25f; }));
  EXPECT_EQ(sensor().holdingFloat(kKs2), 1.25f * 2.0f / reading);
  EXPECT_NEAR(inputFloat(sensor(), kInValueSZ), 2.0, 1e-5);

  // The error against a typed reference gap.
  enter(s.item(kGapReference), "1.9");
  ASSERT_TRUE(waitUntil([&] { return !text(s, kGapError).isEmpty(); }));
  ASSERT_TRUE(waitUntil([&] {
    const float now = inputFloat(sensor(), kInValueSZ);
    return text(s, kGapError) == dialogs::formatValue("%.2f", (now - 1.9f) * 100.0f / 1.9f);
  }));
  EXPECT_EQ(text(s, kGapError), "5.26");

  // A silent sensor: stars, no error.
  sensor().addFault({.kind = qvzsim::FaultKind::Silence});
  ASSERT_TRUE(waitUntil([&] { return text(s, kGapUs) == "*****"; }, kOnlineMs));
  EXPECT_EQ(text(s, kGapKs2), "*****");
  EXPECT_EQ(text(s, kGapValue), "*****");
  EXPECT_EQ(text(s, kGapError), "");
  sensor().clearFaults();
  EXPECT_TRUE(waitForUs(s, kGapUs));
}

// ---- CConfigW ----

TEST_F(CalibrationDialogs, KwReferenceFromTheModuleOrTyped) {
  ASSERT_TRUE(open());
  TE140 adc(bench->iniPath());  // the simulated module: a 1 V sine at 160 Hz
  CConfigW w(*dev, &adc);
  w.showModeless();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
  auto *volts = w.control<dialogs::CEdit1>(kKwReferenceVolts);
  auto *hz = w.control<dialogs::CComboF>(kKwFrequency);
  EXPECT_EQ(hz->currentText(), "160");
  ASSERT_TRUE(waitUntil([&] { return volts->value() > 0.0f; }, kOnlineMs));
  EXPECT_NEAR(volts->value(), 0.7071, 0.002) << "the module's RMS value";
  auto shownD = [&](float u, float f) {
    return dialogs::formatValue("%.1f", referenceDisplacement(u, f));
  };
  ASSERT_TRUE(waitUntil([&] { return text(w, kKwReferenceUm) == shownD(volts->value(), 160); }));
  EXPECT_EQ(text(w, kKwReferenceUm), "7.0");

  // 40 Hz: sixteen times the displacement.
  enter(hz, "40");
  ASSERT_TRUE(waitUntil([&] { return text(w, kKwReferenceUm) == shownD(volts->value(), 40); }));

  // A typed voltage stays in force while the module delivers values...
  enter(volts, "1");
  ASSERT_TRUE(waitUntil([&] { return text(w, kKwReferenceUm) == "158.3"; }));
  QTest::qWait(800);  // more than a block of the module
  EXPECT_EQ(text(w, kKwReferenceUm), "158.3");
  EXPECT_EQ(text(w, kKwReferenceVolts), "1.0000");
  // ...until the edit is left idle again.
  QTest::mouseClick(volts, Qt::LeftButton);
  QTest::keyClick(volts, Qt::Key_Escape);
  ASSERT_TRUE(waitUntil([&] { return volts->value() < 0.9f; }));
  EXPECT_NEAR(volts->value(), 0.7071, 0.002);
}

TEST_F(CalibrationDialogs, KwPointsAgainstThePositiveReference) {
  sensor().setGap(1.0);
  sensor().setVibration(20.0);
  ASSERT_TRUE(open());
  CConfigW w(*dev, nullptr);  // no module: the reference is typed
  w.showModeless();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
  ASSERT_TRUE(waitForUs(w, kKwUs));
  ticks(2);
  EXPECT_EQ(text(w, kKwReferenceVolts), "");
  EXPECT_EQ(text(w, kKwReferenceUm), "");
  EXPECT_FALSE(w.isItemEnabled(kKwRecompute));

  // Without a reference an "S" stores nothing.
  click(w, kKwTake0);
  EXPECT_EQ(text(w, kKwPointGap0), "");
  ticks(2);
  EXPECT_EQ(text(w, kKwPointU0), "");

  enter(w.item(kKwReferenceVolts), "2");
  const double d = referenceDisplacement(2.0f, 160.0f);
  ASSERT_TRUE(waitUntil([&] { return text(w, kKwReferenceUm) == "19.8"; }));
  const float reading = inputFloat(sensor(), kInValueWX);
  ASSERT_TRUE(waitUntil([&] { return w.control<dialogs::CEdit1>(kKwValue)->value() == reading; }));
  EXPECT_EQ(text(w, kKwError), dialogs::formatValue("%.2f", (reading - d) * 100.0 / d));
  EXPECT_EQ(text(w, kKwGap), dialogs::formatValue("%.3f", inputFloat(sensor(), kInValueSZ)));

  auto take = [&](int i, double gap) {
    ASSERT_TRUE(moveTo(w, kKwUs, gap));
    const float wNow = inputFloat(sensor(), kInValueWX);
    ASSERT_TRUE(waitUntil([&] { return w.control<dialogs::CEdit1>(kKwValue)->value() == wNow; }));
    const float u = inputFloat(sensor(), kInVoltageUs);
    click(w, kKwTake0 + i);
    EXPECT_EQ(text(w, kKwPointGap0 + i),
              dialogs::formatValue("%.2f", inputFloat(sensor(), kInValueSZ)));
    EXPECT_EQ(text(w, kKwPointU0 + i), dialogs::formatValue("U=%.3f", u));
    EXPECT_EQ(text(w, kKwPointK0 + i), dialogs::formatValue("K=%.3f", dev->lookupKw(u) * d / wNow));
  };
  take(0, 1.0);
  take(1, 1.5);
  take(2, 2.5);
  take(5, 4.0);
  click(w, kKwClear0 + 1);
  EXPECT_EQ(text(w, kKwPointGap0 + 1), "") << "at once";
  ticks(2);
  EXPECT_EQ(text(w, kKwPointU0 + 1), "");
  EXPECT_EQ(text(w, kKwPointK0 + 1), "");
  take(1, 1.5);
  EXPECT_TRUE(testsupport::saveScreenshot(&w, QStringLiteral("calibration_w")));
  EXPECT_EQ(testsupport::unnamedControls(w), std::vector<int>{});
  EXPECT_EQ(w.item(kKwGraph)->accessibleName(), "Kw");

  // "Пересчитать Kw2": kw2 so that W reads D, not a written coefficient.
  ASSERT_TRUE(waitUntil([&] { return w.isItemEnabled(kKwRecompute); }));
  const float wNow = inputFloat(sensor(), kInValueWX);
  click(w, kKwRecompute);
  EXPECT_EQ(sensor().holdingFloat(kKw2), static_cast<float>(1.0 * d / wNow));
  EXPECT_NEAR(inputFloat(sensor(), kInValueWX), d, 1e-3 * d);
  EXPECT_FALSE(w.coefficientWritten());

  enter(w.item(kKwKw2), "1.5");
  ASSERT_TRUE(waitUntil([&] { return sensor().holdingFloat(kKw2) == 1.5f; }));
  EXPECT_TRUE(w.coefficientWritten());
}

}  // namespace
}  // namespace calibration
