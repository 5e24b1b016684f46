// CConfig3K against a simulated three-component sensor and the simulated
// E-140 module: typed and measured reference voltages reach the sensor as
// velocities, the sensor calibrates its axes, tare coefficients are typed,
// and a sensor that stops answering is shown as such. Checked in the
// sensor's registers and in what the dialog shows.
#include <gtest/gtest.h>

#include <QApplication>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "adc/te140.h"
#include "calibration/config3k.h"
#include "calibration/config_dac.h"
#include "device/qvz2.h"
#include "dialogs/numeric_edit.h"
#include "resources/config3k_dialog.h"
#include "resources/dac_dialog.h"
#include "tests/support/dialog_driver.h"
#include "tests/support/qt_app.h"
#include "tests/support/sim_bench.h"

namespace calibration {
namespace {

using namespace resources;
using testsupport::SimBench;
using testsupport::waitUntil;

// A first poll, a calibration's re-read or a write, on a loaded machine under a sanitizer.
constexpr int kSlowMs = 30000;

// One axis: its controls and its registers in the sensor.
struct AxisCase {
  const char *name;
  qvzsim::Axis axis;
  int measured, voltage, adc, velocity, tare, calibrate;
  uint16_t refRegister, tareRegister;
};
constexpr AxisCase kAxisCases[] = {
    {"Z", qvzsim::Axis::Z, k3KMeasuredZ, k3KVoltageZ, k3KAdcZ, k3KVelocityZ, k3KTareZ,
     k3KCalibrateZ, 4, 6},
    {"X", qvzsim::Axis::X, k3KMeasuredX, k3KVoltageX, k3KAdcX, k3KVelocityX, k3KTareX,
     k3KCalibrateX, 8, 10},
    {"Y", qvzsim::Axis::Y, k3KMeasuredY, k3KVoltageY, k3KAdcY, k3KVelocityY, k3KTareY,
     k3KCalibrateY, 12, 14},
};

// Sets an environment variable for the life of the object.
class EnvScope {
 public:
  EnvScope(const char *name, const std::string &value) : name_(name) {
    if (const char *old = std::getenv(name)) old_ = old;
    ::setenv(name, value.c_str(), 1);
  }
  ~EnvScope() {
    if (old_) {
      ::setenv(name_, old_->c_str(), 1);
    } else {
      ::unsetenv(name_);
    }
  }
  EnvScope(const EnvScope &) = delete;
  EnvScope &operator=(const EnvScope &) = delete;

 private:
  const char *name_;
  std::optional<std::string> old_;
};

class Config3K : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { dialogs::registerNumericControls(); }

  // A type-2 sensor with exact readings, the device and the ADC as the
  // program makes them, and the dialog shown.
  void open() {
    bench = std::make_unique<SimBench>(SimBench::Options{.type = qvzsim::kThreeAxis});
    sensor().setNoise(0);
    sensor().setVelocity(qvzsim::Axis::Z, 3.0);
    sensor().setVelocity(qvzsim::Axis::X, 4.0);
    sensor().setVelocity(qvzsim::Axis::Y, 5.0);
    dev = std::make_unique<device::TQVZ2>(bench->iniPath());
    adc = std::make_unique<TE140>(bench->iniPath());
    dialog = std::make_unique<CConfig3K>(*dev, adc.get());
    dialog->showModeless();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));
  }
  void TearDown() override {
    dialog.reset();
    adc.reset();
    dev.reset();
    bench.reset();
  }

  qvzsim::Sensor &sensor() { return bench->sensor(); }
  float reg(uint16_t r) { return sensor().holdingFloat(r).value_or(-1.0f); }
  QString text(int id) const { return dialog->itemText(id); }
  dialogs::CEdit1 *edit(int id) const { return dialog->control<dialogs::CEdit1>(id); }
  ::testing::AssertionResult waitText(int id, const QString &expected, int ms = kSlowMs) {
    if (waitUntil([&] { return text(id) == expected; }, ms)) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "control " << id << " shows '" << text(id).toStdString()
                                         << "', not '" << expected.toStdString() << "'";
  }
  // 8 mm/s measured against 8 mm/s: an error near 0 %, either side.
  ::testing::AssertionResult waitCalibrated(int id) {
    static const QRegularExpression calibrated(QStringLiteral("^  8\\.00  \\[-?0\\.0%\\]$"));
    if (waitUntil([&] { return calibrated.match(text(id)).hasMatch(); }, kSlowMs)) {
      return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure()
           << "control " << id << " shows '" << text(id).toStdString() << "'";
  }
  // The dialog shows the sensor's values: a number in every measured field.
  ::testing::AssertionResult waitOnline() {
    const bool live = waitUntil(
        [&] {
          for (const AxisCase &a : kAxisCases) {
            if (text(a.measured).isEmpty() || text(a.measured) == "*****") return false;
          }
          return true;
        },
        kSlowMs);
    if (live) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "not online: Z shows '" << text(k3KMeasuredZ).toStdString() << "'";
  }

  // The user types a value into a field and presses Enter.
  void enter(int id, const QString &typed) {
    EXPECT_TRUE(testsupport::enterText(dialog->item(id), typed)) << "no focus in " << id;
  }
  void click(int id) {
    QWidget *w = dialog->item(id);
    ASSERT_TRUE(w->isEnabled()) << id;
    QTest::mouseClick(w, Qt::LeftButton);
  }

  std::unique_ptr<SimBench> bench;
  std::unique_ptr<device::TQVZ2> dev;
  std::unique_ptr<TE140> adc;
  std::unique_ptr<CConfig3K> dialog;
};

TEST_F(Config3K, ReferenceVoltagesReachTheSensorAsVelocities) {
  open();
  ASSERT_TRUE(waitOnline());
  EXPECT_EQ(text(k3KFrequency), "160");
  // The simulated module's 1 V sine: 0.7071 V RMS.
  ASSERT_TRUE(waitUntil([&] { return dialog->isItemEnabled(k3KAdcZ); }, kSlowMs))
      << "no ADC value: '" << text(k3KAdcValue).toStdString() << "'";
  EXPECT_NEAR(text(k3KAdcValue).toDouble(), 0.7071, 0.01) << text(k3KAdcValue).toStdString();

  for (float hz : {160.0f, 40.0f}) {
    const float k = 1600.0f / hz;
    SCOPED_TRACE(std::to_string(hz) + " Hz");
    if (hz != 160.0f) {
      enter(k3KFrequency, QString::number(hz));
      // The same stored velocities, shown as voltages four times smaller.
      for (const AxisCase &a : kAxisCases) {
        EXPECT_TRUE(waitText(a.voltage, QString::asprintf("%g", double(reg(a.refRegister) / k))))
            << a.name;
      }
    }
    for (const AxisCase &a : kAxisCases) {
      SCOPED_TRACE(a.name);
      // Typed.
      enter(a.voltage, "0.5");
      EXPECT_TRUE(waitUntil([&] { return reg(a.refRegister) == k * 0.5f; }, kSlowMs))
          << reg(a.refRegister);
      EXPECT_TRUE(waitText(a.velocity, QString::asprintf("%g", double(k * 0.5f))));
      EXPECT_TRUE(waitText(a.voltage, "0.5")) << "the stored velocity shown back as a voltage";
      // Taken from the reference ADC: what the field then shows is written.
      click(a.adc);
      const float volts = edit(a.voltage)->value();
      EXPECT_NEAR(volts, 0.7071, 0.01);
      EXPECT_EQ(text(a.voltage), QString::asprintf("%g", double(volts)));
      EXPECT_TRUE(waitUntil([&] { return reg(a.refRegister) == k * volts; }, kSlowMs))
          << reg(a.refRegister) << " for " << volts << " V";
    }
  }
  // Nothing else was touched: the tare coefficients are the sensor's own.
  for (const AxisCase &a : kAxisCases)
    EXPECT_EQ(reg(a.tareRegister), 1.0f) << a.name;
}

TEST_F(Config3K, CalibrationMakesEachAxisReadTheReference) {
  open();
  ASSERT_TRUE(waitOnline());
  for (const AxisCase &a : kAxisCases) {
    SCOPED_TRACE(a.name);
    enter(a.voltage, "0.8");  // 8 mm/s at 160 Hz
    ASSERT_TRUE(waitUntil([&] { return reg(a.refRegister) == 8.0f; }, kSlowMs));
    // Measured against the new reference: the bench's 3, 4 or 5 mm/s are far off.
    ASSERT_TRUE(waitUntil([&] { return text(a.measured).endsWith("%]"); }, kSlowMs));
    EXPECT_FALSE(text(a.measured).endsWith("[0.0%]")) << text(a.measured).toStdString();

    click(a.calibrate);
    ASSERT_TRUE(waitUntil([&] { return reg(a.tareRegister) != 1.0f; }, kSlowMs));
    const float tare = reg(a.tareRegister);
    EXPECT_NEAR(tare, 8.0 / (3.0 + static_cast<int>(a.axis)), 0.5) << "about 8 / bench velocity";
    EXPECT_TRUE(waitCalibrated(a.measured));
    EXPECT_TRUE(waitText(a.tare, QString::asprintf("%g", double(tare))));
    EXPECT_EQ(text(a.voltage), "0.8");
  }
  // Each calibration kept the others.
  for (const AxisCase &a : kAxisCases)
    EXPECT_TRUE(waitCalibrated(a.measured)) << a.name;
  // A "Калибровка" button disables itself while the sensor re-reads its
  // settings, and the focus moves on into the next axis's voltage edit, which
  // keeps the "*****" of that moment while it has the focus. Esc there gives
  // it its value again.
  if (auto *focused = dynamic_cast<dialogs::CEdit1 *>(QApplication::focusWidget())) {
    QTest::keyClick(focused, Qt::Key_Escape);
  }
  for (const AxisCase &a : kAxisCases)
    EXPECT_TRUE(waitText(a.voltage, "0.8")) << a.name;
  EXPECT_TRUE(testsupport::saveScreenshot(dialog.get(), QStringLiteral("config3k_calibrated")));
}

TEST_F(Config3K, TareCoefficientsOutsideTheRangeWriteNothing) {
  open();
  ASSERT_TRUE(waitOnline());
  const AxisCase &x = kAxisCases[1];
  ASSERT_TRUE(waitText(x.tare, "1"));
  struct Case {
    const char *typed;
    float written;  // 0: refused
  } cases[] = {{"12", 0}, {"0.05", 0}, {"abc", 0}, {"2.5", 2.5f}, {"10", 10.0f}};
  for (const Case &c : cases) {
    SCOPED_TRACE(c.typed);
    enter(x.tare, c.typed);
    if (c.written == 0) {
      EXPECT_EQ(edit(x.tare)->state(), dialogs::EntryState::Idle);
      // Some ticks later the sensor still holds what it held.
      const float before = reg(x.tareRegister);
      QTest::qWait(3 * CConfig3K::kTimerPeriodMs);
      EXPECT_EQ(reg(x.tareRegister), before);
    } else {
      EXPECT_TRUE(waitUntil([&] { return reg(x.tareRegister) == c.written; }, kSlowMs));
      EXPECT_TRUE(waitText(x.tare, c.typed));
    }
  }
  // Exactly the two accepted values were written, to the tare of axis X.
  std::vector<uint16_t> written;
  for (const qvzsim::Request &r : sensor().requests()) {
    if (r.function == 16) written.push_back(r.start);
  }
  EXPECT_EQ(written, (std::vector<uint16_t>{x.tareRegister, x.tareRegister}));
}

TEST_F(Config3K, EntriesWaitingForOneTickAreWrittenAxisYThenXThenZ) {
  open();
  ASSERT_TRUE(waitOnline());
  // While a command holds the device the ticks do nothing, so every entry
  // made meanwhile waits for the same tick. They are made in another order.
  dev->lock();
  const struct {
    int edit;
    const char *typed;
  } entries[] = {{k3KTareZ, "1.5"},    {k3KVoltageX, "0.4"}, {k3KTareY, "2.5"},
                 {k3KVoltageZ, "0.2"}, {k3KVoltageY, "0.6"}, {k3KTareX, "3.5"}};
  for (const auto &e : entries) {
    enter(e.edit, e.typed);
    EXPECT_EQ(edit(e.edit)->state(), dialogs::EntryState::Entered) << e.edit;
  }
  sensor().clearRequests();
  dev->unlock();

  // The writes heard, a retry of the link (a reply late on a loaded
  // machine) counted once.
  const auto writes = [&] {
    std::vector<std::pair<uint16_t, float>> w;
    for (const qvzsim::Request &r : sensor().requests()) {
      if (r.function == 16 && (w.empty() || w.back().first != r.start))
        w.emplace_back(r.start, reg(r.start));
    }
    return w;
  };
  ASSERT_TRUE(waitUntil([&] { return writes().size() >= 6; }, kSlowMs)) << writes().size();
  // Y voltage and tare, X, Z; a voltage as its velocity at 160 Hz (k = 10).
  const std::vector<std::pair<uint16_t, float>> expected = {{12, 6.0f}, {14, 2.5f}, {8, 4.0f},
                                                            {10, 3.5f}, {4, 2.0f},  {6, 1.5f}};
  EXPECT_EQ(writes(), expected);
}

TEST_F(Config3K, SilentSensorShowsStarsAfterItsEntriesAreWritten) {
  open();
  ASSERT_TRUE(waitOnline());
  // The sensor stops answering its input reads: polls fail, writes still work.
  sensor().addFault({.kind = qvzsim::FaultKind::Silence, .function = 4});
  const AxisCase &z = kAxisCases[0];
  ASSERT_TRUE(waitText(z.measured, "*****"));
  for (const AxisCase &a : kAxisCases) {
    for (int id : {a.measured, a.voltage, a.velocity, a.tare})
      EXPECT_EQ(text(id), "*****") << id;
    EXPECT_FALSE(dialog->isItemEnabled(a.calibrate)) << a.name;
  }
  EXPECT_FALSE(dialog->isItemEnabled(k3KRestart));
  EXPECT_TRUE(dialog->isItemEnabled(k3KDacCalibration));

  enter(z.voltage, "0.3");
  EXPECT_TRUE(waitUntil([&] { return reg(z.refRegister) == 3.0f; }, kSlowMs));
  EXPECT_TRUE(waitUntil([&] { return edit(z.voltage)->state() == dialogs::EntryState::Idle; }));
  EXPECT_TRUE(waitText(z.voltage, "*****"));

  sensor().clearFaults();
  EXPECT_TRUE(waitText(z.voltage, "0.3"));
  EXPECT_TRUE(waitText(z.velocity, "3"));
}

TEST_F(Config3K, ReferenceAdcButtonsNeedAMeasurement) {
  struct Case {
    const char *what;
    const char *variable, *value;
    bool available;
    float entered;  // by "Uэт с АЦП" of axis Y
  } cases[] = {
      {"0.05 V enters the lowest voltage", "SENTUNE_E140_AMPLITUDE", "0.0707107", true, 0.1f},
      {"no module answers", "SENTUNE_E140_PRESENT", "0", false, 0},
      // Without a module library the ADC has -32768, "no measurement", and no voltage.
      {"no module library", "SENTUNE_LUSBAPI", "/nonexistent/liblusbapi.so", false, 0},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    EnvScope env(c.variable, c.value);
    open();
    ASSERT_TRUE(waitOnline());
    const AxisCase &y = kAxisCases[2];
    if (c.available) {
      ASSERT_TRUE(waitUntil([&] { return dialog->isItemEnabled(y.adc); }, kSlowMs));
      EXPECT_NEAR(text(k3KAdcValue).toDouble(), 0.05, 0.002) << text(k3KAdcValue).toStdString();
      click(y.adc);
      EXPECT_EQ(text(y.voltage), "0.1");
      EXPECT_TRUE(waitUntil([&] { return reg(y.refRegister) == 10.0f * c.entered; }, kSlowMs));
    } else {
      QTest::qWait(3 * CConfig3K::kTimerPeriodMs);
      EXPECT_EQ(text(k3KAdcValue), "");
      for (const AxisCase &a : kAxisCases)
        EXPECT_FALSE(dialog->isItemEnabled(a.adc)) << a.name;
    }
    TearDown();
  }
}

TEST_F(Config3K, DacCalibrationPausesTheTicksAndEndsWithTheOutputBackToNormal) {
  open();
  ASSERT_TRUE(waitOnline());
  const QString z = text(k3KMeasuredZ);
  bool shown = false;
  testsupport::whenModal<CConfigDAC>(
      [&](CConfigDAC &dac) {
        QTest::mouseClick(dac.item(kDac2Min), Qt::LeftButton);
        EXPECT_EQ(sensor().status().dac, qvzsim::DacOutput::Minimum);
        // The sensor now measures twice as much on Z; the paused dialog does not look.
        sensor().setVelocity(qvzsim::Axis::Z, 6.0);
        QTest::qWait(5 * CConfig3K::kTimerPeriodMs);
        EXPECT_EQ(text(k3KMeasuredZ), z);
        QTest::mouseClick(dac.item(kDacExit), Qt::LeftButton);
      },
      &shown);
  click(k3KDacCalibration);
  EXPECT_TRUE(shown);
  EXPECT_EQ(sensor().status().dac, qvzsim::DacOutput::Normal);
  EXPECT_TRUE(waitUntil([&] { return text(k3KMeasuredZ) != z; }, kSlowMs)) << "ticks again";
}

TEST_F(Config3K, LayoutRestartAndScreenshot) {
  open();
  ASSERT_TRUE(waitOnline());
  ASSERT_TRUE(waitUntil([&] { return dialog->isItemEnabled(k3KAdcX); }, kSlowMs));
  EXPECT_EQ(dialog->windowTitle(), "Калибровка трехкомпонентного датчика");
  EXPECT_EQ(testsupport::unnamedControls(*dialog), std::vector<int>{});
  EXPECT_EQ(edit(k3KVoltageX)->accessibleName(), "Эталонное напр-е, В");
  EXPECT_EQ(edit(k3KTareZ)->accessibleName(), "Тарировочный к-т");
  EXPECT_EQ(dialog->item(k3KFrequency)->accessibleName(), "Частота, Гц");
  EXPECT_EQ(dialog->item(k3KAdcValue)->accessibleName(), "Uэт с АЦП");
  // "1" as the dialog first shows it: measured against the starting reference 1.0.
  EXPECT_TRUE(text(k3KMeasuredZ).endsWith("%]")) << text(k3KMeasuredZ).toStdString();
  for (const AxisCase &a : kAxisCases) {
    EXPECT_TRUE(dialog->isItemEnabled(a.calibrate)) << a.name;
    EXPECT_EQ(edit(a.voltage)->minimum(), 0.1f);
    EXPECT_EQ(edit(a.tare)->maximum(), 10.0f);
  }
  EXPECT_TRUE(testsupport::saveScreenshot(dialog.get(), QStringLiteral("config3k")));

  click(k3KRestart);
  EXPECT_TRUE(waitUntil([&] { return sensor().status().restarts == 1; }, kSlowMs));
  // The sensor is silent for a while, then comes back.
  EXPECT_TRUE(waitOnline());
}

}  // namespace
}  // namespace calibration
