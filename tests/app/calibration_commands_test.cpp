// "Калибровка...", "Прочитать...", "Записать..." and "Перешить..." of the
// real main window against a simulated type-1 sensor and the simulated E-140
// module: calibrations taken point by point on the simulated bench, sent to
// the sensor, and the sensor's readings checked against the bench.
#include <gtest/gtest.h>

#include <QApplication>
#include <QProgressBar>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "app/globals.h"
#include "app/main_window.h"
#include "calibration/config_chooser.h"
#include "calibration/config_dac.h"
#include "calibration/config_s.h"
#include "calibration/config_w.h"
#include "dialogs/numeric_edit.h"
#include "resources/config_dialog.h"
#include "resources/dac_dialog.h"
#include "resources/gap_calibration_dialog.h"
#include "resources/kw_calibration_dialog.h"
#include "resources/main_dialog.h"
#include "tests/support/dialog_driver.h"
#include "tests/support/qt_app.h"
#include "tests/support/scripted_prompts.h"
#include "tests/support/sim_bench.h"

namespace {

using namespace resources;
using testsupport::SimBench;
using testsupport::waitUntil;

// Time for a type-1 sensor to come online (again): identification,
// configuration and both tables, on a loaded machine under a sanitizer.
constexpr int kOnlineMs = 30000;

// Input registers of the simulated sensor.
constexpr uint16_t kInValueSZ = 0;
constexpr uint16_t kInValueWX = 2;
constexpr uint16_t kInVoltageUs = 20;

// The reference gaps of the S points (the INI file's defaults).
constexpr double kReferenceGaps[] = {0.00, 0.40, 0.90, 1.60, 2.30, 3.05, 3.80, 4.55, 5.30, 6.05};
// A computed S table ends at 6 mm.
constexpr double kMaxGapMm = 6.0;

// The displacement, um, of the bench whose reference signal is a sine of
// `amplitude` volts at 160 Hz: the voltage is its RMS value.
double benchDisplacement(double amplitude) {
  const double omega = 2.0 * 3.141592625 * 160.0;
  return amplitude / std::sqrt(2.0) * 10.0 * 1e6 / (omega * omega);
}

float inputFloat(const qvzsim::Sensor &s, uint16_t reg) {
  const std::array<uint16_t, 32> in = s.measure();
  return std::bit_cast<float>(static_cast<uint32_t>(in[reg]) | static_cast<uint32_t>(in[reg + 1])
                                                                   << 16);
}

std::vector<uint8_t> readFile(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

float floatAt(const std::vector<uint8_t> &image, int index) {
  const uint8_t *b = image.data() + 4 * index;
  return std::bit_cast<float>(static_cast<uint32_t>(b[0] | b[1] << 8 | b[2] << 16 | b[3] << 24));
}

void click(ui::Dialog &d, int id) {
  QWidget *w = d.item(id);
  ASSERT_NE(w, nullptr) << id;
  ASSERT_TRUE(w->isEnabled()) << id;
  QTest::mouseClick(w, Qt::LeftButton);
}

// The user types a number into a numeric control and presses Enter.
void enter(QWidget *control, const QString &text) {
  QTest::mouseClick(control, Qt::LeftButton, Qt::NoModifier, QPoint(4, control->height() / 2));
  QTest::keyClick(control, Qt::Key_A, Qt::ControlModifier);
  QTest::keyClicks(control, text);
  QTest::keyClick(control, Qt::Key_Return);
}

// Ends a dialog that an act left open (an assertion failed in it), so that
// the test fails instead of waiting for ever.
template <class T>
std::function<void(T &)> closingAfter(std::function<void(T &)> act) {
  return [act = std::move(act)](T &d) {
    act(d);
    if (!d.isEnded()) {
      ADD_FAILURE() << "the dialog " << d.windowTitle().toStdString() << " was left open";
      d.endDialog(2);
    }
  };
}

class CalibrationCommands : public ::testing::Test {
 protected:
  void SetUp() override {
    bench = std::make_unique<SimBench>(SimBench::Options{.restartMs = 200});
    sensor().setNoise(0.0);
    // The reference amplitude of the simulated E-140, changed while it runs.
    e140Control = bench->dir() + "/e140.control";
    setAmplitude(1.0);
    ::setenv("SENTUNE_E140_CONTROL", e140Control.c_str(), 1);
    window = std::make_unique<app::CSentuneDlg>(bench->exePath(), "/calibr /send");
    window->show();
    ASSERT_TRUE(waitReady());
  }
  void TearDown() override {
    window.reset();
    bench.reset();
    ::unsetenv("SENTUNE_E140_CONTROL");
  }

  qvzsim::Sensor &sensor() { return bench->sensor(); }
  QString text(int id) const { return window->itemText(id); }
  void setAmplitude(double volts) const {
    std::ofstream(e140Control) << "amplitude=" << volts << "\n";
  }

  // The sensor online and "Калибровка..." enabled.
  ::testing::AssertionResult waitReady() {
    const bool ready = waitUntil(
        [&] {
          return !sensor().status().restarting && app::theDevice->snapshot().online &&
                 window->isItemEnabled(kCalibrate);
        },
        kOnlineMs);
    if (ready) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "not ready: " << text(kLastError).toStdString();
  }

  // Presses "Калибровка..." and acts in the chooser; returns when the whole
  // command has ended.
  void calibrate(const std::function<void(calibration::CConfig &)> &act) {
    bool found = false;
    testsupport::whenModal<calibration::CConfig>(
        closingAfter<calibration::CConfig>([&](calibration::CConfig &chooser) {
          ASSERT_TRUE(waitUntil([&] { return chooser.isItemEnabled(kConfigCalibrateS); }));
          act(chooser);
        }),
        &found);
    QTest::mouseClick(window->item(kCalibrate), Qt::LeftButton);
    EXPECT_TRUE(found) << "the chooser opened";
  }
  // Presses a chooser button and acts in the dialog it opens.
  template <class T>
  static void inDialog(calibration::CConfig &chooser, int button, std::function<void(T &)> act) {
    bool found = false;
    testsupport::whenModal<T>(closingAfter<T>(std::move(act)), &found);
    click(chooser, button);
    EXPECT_TRUE(found);
  }

  // Moves the bench to `gap` and waits until the dialog's Us edit (and, for
  // W, its W edit) shows what the sensor measures there.
  ::testing::AssertionResult moveTo(ui::Dialog &d, double gap, int usEdit, int wEdit = 0) {
    sensor().setGap(gap);
    const float us = inputFloat(sensor(), kInVoltageUs);
    const float w = inputFloat(sensor(), kInValueWX);
    const bool shown = waitUntil(
        [&] {
          return d.control<dialogs::CEdit1>(usEdit)->value() == us &&
                 (wEdit == 0 || d.control<dialogs::CEdit1>(wEdit)->value() == w);
        },
        kOnlineMs);
    if (shown) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "the dialog does not show gap " << gap;
  }
  // In CConfigS: the bench at the reference gap of each point in turn, "S".
  void takeGapPoints(calibration::CConfigS &s, std::initializer_list<int> points) {
    for (int i : points) {
      ASSERT_TRUE(moveTo(s, kReferenceGaps[i], kGapUs));
      click(s, kGapTake0 + i);
    }
  }

  // File requests the sensor has heard (functions 98-103).
  uint64_t uploads() {
    uint64_t n = 0;
    for (int f = 98; f <= 103; ++f)
      n += sensor().requestCount(f);
    return n;
  }

  std::string dataFile(const std::string &name) const { return bench->dir() + "/Data/" + name; }

  // Watches for the link library's transfer window over the main window and
  // saves a picture of it once a block has gone; `saved` tells whether one
  // was shown. The window's class lives in librk.so, so it is known by its
  // caption and its progress bar.
  class ProgressPicture {
   public:
    ProgressPicture(QWidget *owner, const QString &name) {
      QObject::connect(&timer_, &QTimer::timeout, [this, owner, name] {
        if (saved_) return;
        for (QWidget *w : owner->findChildren<QWidget *>()) {
          auto *bar = w->findChild<QProgressBar *>();
          if (w->isWindow() && w->isVisible() && w->windowTitle() == kCaption && bar != nullptr &&
              bar->value() > 0)
            saved_ = testsupport::saveScreenshot(w, name);
        }
      });
      timer_.start(0);
    }
    bool saved() const { return saved_; }

   private:
    static constexpr const char *kCaption = "Обмен с удаленным устройством";
    QTimer timer_;
    bool saved_ = false;
  };

  std::unique_ptr<SimBench> bench;
  std::unique_ptr<app::CSentuneDlg> window;
  std::string e140Control;
  testsupport::ScriptedPrompts prompts;
  testsupport::PromptsScope promptsScope{prompts};
};

TEST_F(CalibrationCommands, ChannelSCalibratedOnTheBenchReadsTrue) {
  // Before: the sensor's own curve deviates from its factory table.
  double worst = 0.0;
  for (double g = 0.0; g <= kMaxGapMm; g += 0.25) {
    sensor().setGap(g);
    worst = std::max(worst, std::abs(inputFloat(sensor(), kInValueSZ) - g));
  }
  ASSERT_GT(worst, 0.1) << "nothing to calibrate";

  const std::string file = dataFile("s.cf");
  prompts.fileAnswers = {QString::fromStdString(file)};
  calibrate([&](calibration::CConfig &chooser) {
    inDialog<calibration::CConfigS>(chooser, kConfigCalibrateS, [&](calibration::CConfigS &s) {
      takeGapPoints(s, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9});
      EXPECT_TRUE(testsupport::saveScreenshot(&s, QStringLiteral("calibration_s_bench")));
      click(s, 1);
    });
    EXPECT_TRUE(chooser.tablesChangedS());
    EXPECT_FALSE(chooser.tablesChangedW());
    EXPECT_TRUE(testsupport::saveScreenshot(&chooser, QStringLiteral("calibration_chooser")));
    EXPECT_EQ(testsupport::unnamedControls(chooser), std::vector<int>{});
    click(chooser, 1);
  });

  // The save dialog of a coefficient file, then the file sent as table.bin.
  ASSERT_EQ(prompts.files.size(), 1u);
  const testsupport::ScriptedPrompts::FileRequest &request = prompts.files[0];
  EXPECT_TRUE(request.save);
  EXPECT_EQ(request.options.defaultExtension, "cf");
  EXPECT_EQ(request.options.filter, "файлы коэффициентов (*.cf)|*.cf|все файлы (*.*)|*.*||");
  EXPECT_EQ(request.options.initialDir.toStdString(), bench->dir() + "/Data/1234");
  EXPECT_TRUE(QRegularExpression("/Data/1234/\\d{8}_\\d{4}\\.cf$")
                  .match(request.options.initialPath)
                  .hasMatch())
      << request.options.initialPath.toStdString();
  const std::vector<uint8_t> written = readFile(file);
  ASSERT_EQ(written.size(), 6144u);
  EXPECT_EQ(sensor().tableImage(), written) << "the sensor serves the file";
  EXPECT_EQ(sensor().status().restarts, 0u) << "the tables were sent: no restart";

  // The computed table spans the points' voltages.
  sensor().setGap(kReferenceGaps[0]);
  EXPECT_EQ(floatAt(written, 1505), inputFloat(sensor(), kInVoltageUs));
  sensor().setGap(kReferenceGaps[9]);
  EXPECT_EQ(floatAt(written, 1506), inputFloat(sensor(), kInVoltageUs));

  // S now reads the bench gap at every point and between them (within
  // 0.015 mm: the natural spline bends least where the gap curve bends most,
  // between the last two points), up to the 6 mm where a computed table ends.
  for (double g = 0.0; g <= 6.2; g += 0.05) {
    sensor().setGap(g);
    EXPECT_NEAR(inputFloat(sensor(), kInValueSZ), std::min(g, kMaxGapMm), 0.015) << "gap " << g;
  }
  for (double g : kReferenceGaps) {
    sensor().setGap(g);
    EXPECT_NEAR(inputFloat(sensor(), kInValueSZ), std::min(g, kMaxGapMm), 0.002) << "point " << g;
  }
  // And the main window shows it, without an error.
  sensor().setGap(2.5);
  EXPECT_TRUE(waitUntil([&] { return text(kValueSZ).trimmed() == "2.50"; }, kOnlineMs))
      << text(kValueSZ).toStdString();
  EXPECT_EQ(text(kLastError), "");
  EXPECT_TRUE(testsupport::saveScreenshot(window.get(), QStringLiteral("main_window_service")));
}

TEST_F(CalibrationCommands, ChannelWCalibratedAgainstTheReferenceReadsTrue) {
  // Points at six gaps, the first three with a reference of 1 V peak, the
  // others with 2 V: the bench vibrates with the reference's displacement.
  struct Point {
    double gap, amplitude;
  };
  const Point points[] = {{0.6, 1.0}, {1.0, 1.0}, {1.5, 1.0}, {2.0, 1.0},
                          {2.5, 2.0}, {3.0, 2.0}, {3.5, 2.0}, {4.0, 2.0}};
  double worst = 0.0;
  for (const Point &p : points) {
    sensor().setGap(p.gap);
    sensor().setVibration(10.0);
    worst = std::max(worst, std::abs(inputFloat(sensor(), kInValueWX) - 10.0) / 10.0);
  }
  ASSERT_GT(worst, 0.03) << "nothing to calibrate";

  const std::string file = dataFile("w.cf");
  prompts.fileAnswers = {QString::fromStdString(file)};
  calibrate([&](calibration::CConfig &chooser) {
    inDialog<calibration::CConfigW>(chooser, kConfigCalibrateW, [&](calibration::CConfigW &w) {
      int i = 0;
      for (const Point &p : points) {
        const double d = benchDisplacement(p.amplitude);
        setAmplitude(p.amplitude);
        sensor().setVibration(d);
        // The reference follows the module.
        ASSERT_TRUE(
            waitUntil([&] { return std::abs(w.referenceDisplacement() - d) < 0.01; }, kOnlineMs))
            << w.referenceDisplacement() << " against " << d;
        EXPECT_EQ(w.itemText(kKwReferenceUm), QString::number(d, 'f', 1));
        ASSERT_TRUE(moveTo(w, p.gap, kKwUs, kKwValue));
        click(w, kKwTake0 + i++);
      }
      EXPECT_TRUE(testsupport::saveScreenshot(&w, QStringLiteral("calibration_w_bench")));
      click(w, 1);
    });
    EXPECT_FALSE(chooser.tablesChangedS());
    EXPECT_TRUE(chooser.tablesChangedW());
    click(chooser, 1);
  });
  const std::vector<uint8_t> written = readFile(file);
  ASSERT_EQ(written.size(), 6144u);
  EXPECT_EQ(sensor().tableImage(), written);
  EXPECT_EQ(sensor().status().restarts, 0u);

  // W reads the bench displacement at the points and between them, within
  // 1.5 %: a point's Kw comes from the nearest sample of the stored table (by
  // its 750-step index), up to about 0.7 % off where Kw is steep.
  for (double v : {5.0, 40.0}) {
    sensor().setVibration(v);
    for (double g = points[0].gap; g <= points[7].gap + 1e-9; g += 0.1) {
      sensor().setGap(g);
      EXPECT_NEAR(inputFloat(sensor(), kInValueWX), v, 0.015 * v) << "gap " << g;
    }
  }
}

TEST_F(CalibrationCommands, CurrentOutputCalibratedFromTheChooser) {
  sensor().setGap(2.0);
  sensor().setVibration(150.0);
  auto output2 = [&] { return double(sensor().status().dacCurrentMa[1]); };
  auto nominal = [&] { return 4.0 + 16.0 * inputFloat(sensor(), kInValueWX) / 250.0; };
  ASSERT_GT(std::abs(output2() - nominal()), 0.01) << "the output is off before calibration";

  calibrate([&](calibration::CConfig &chooser) {
    inDialog<calibration::CConfigDAC>(
        chooser, kConfigCalibrateDac, [&](calibration::CConfigDAC &d) {
          click(d, kDac2Min);
          const QString a = QString::number(output2(), 'g', 6);
          enter(d.item(kDac2OutMin), a);
          click(d, kDac2Max);
          const QString b = QString::number(output2(), 'g', 6);
          enter(d.item(kDac2OutMax), b);
          click(d, kDac2Calibrate);
          EXPECT_EQ(sensor().holdingFloat(54), a.toFloat());
          EXPECT_EQ(sensor().holdingFloat(56), b.toFloat());
          EXPECT_EQ(sensor().status().restarts, 1u);
          ASSERT_TRUE(waitUntil([&] { return !sensor().status().restarting; }, kOnlineMs));
          click(d, kDacExit);
        });
    // Closing the DAC dialog ends the output test.
    EXPECT_EQ(sensor().status().dac, qvzsim::DacOutput::Normal);
    EXPECT_NEAR(output2(), nominal(), 0.002);
    click(chooser, 2);
  });
  EXPECT_TRUE(prompts.files.empty());
  EXPECT_EQ(sensor().status().restarts, 1u) << "no channel changed: no restart of the window's";
}

// The chooser's flags and the restart that stands in for tables not sent.
TEST_F(CalibrationCommands, RestartWhenAChangedChannelWasNotSent) {
  enum class S { Untouched, PointsOk, PointsCancel, Ks2Cancel };
  enum class W { Untouched, OkWithoutPoints };
  struct Case {
    const char *name;
    S s;
    W w;
    bool chooserOk;
    bool restart;
  };
  // In this order: the points of one case stay in the device for the next.
  const Case cases[] = {
      {"Cancel with nothing done", S::Untouched, W::Untouched, false, false},
      {"OK with nothing done, save cancelled", S::Untouched, W::Untouched, true, false},
      {"S points, S Cancel, save cancelled", S::PointsCancel, W::Untouched, true, false},
      {"S points, S OK, save cancelled", S::PointsOk, W::Untouched, true, true},
      {"ks2 written, S Cancel, chooser Cancel", S::Ks2Cancel, W::Untouched, false, true},
      {"W OK without a point, save cancelled", S::Untouched, W::OkWithoutPoints, true, false},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(waitReady());
    const unsigned restarts = sensor().status().restarts;
    prompts.files.clear();
    prompts.fileAnswers.clear();  // every save dialog cancelled
    calibrate([&](calibration::CConfig &chooser) {
      if (c.s != S::Untouched) {
        inDialog<calibration::CConfigS>(chooser, kConfigCalibrateS, [&](calibration::CConfigS &s) {
          if (c.s == S::Ks2Cancel) {
            ASSERT_TRUE(waitUntil([&] { return s.itemText(kGapKs2) == "1"; }));
            enter(s.item(kGapKs2), "1");
            ASSERT_TRUE(waitUntil([&] { return s.coefficientWritten(); }));
          } else {
            takeGapPoints(s, {2, 4});
          }
          click(s, c.s == S::PointsOk ? 1 : 2);
        });
      }
      if (c.w == W::OkWithoutPoints) {
        inDialog<calibration::CConfigW>(chooser, kConfigCalibrateW,
                                        [&](calibration::CConfigW &w) { click(w, 1); });
      }
      click(chooser, c.chooserOk ? 1 : 2);
    });
    EXPECT_EQ(prompts.files.size(), c.chooserOk ? 1u : 0u) << "a save dialog after OK only";
    EXPECT_EQ(sensor().status().restarts, restarts + (c.restart ? 1 : 0));
    EXPECT_EQ(uploads(), 0u);
  }
}

TEST_F(CalibrationCommands, CoefficientFilesReadAndWritten) {
  // "Прочитать...": the sensor's tables as they are.
  const std::string factory = dataFile("factory.cf");
  prompts.fileAnswers = {QString::fromStdString(factory)};
  QTest::mouseClick(window->item(kReadTables), Qt::LeftButton);
  ASSERT_EQ(prompts.files.size(), 1u);
  EXPECT_TRUE(prompts.files[0].save);
  EXPECT_EQ(prompts.files[0].options.defaultExtension, "cf");
  EXPECT_EQ(readFile(factory), sensor().tableImage());

  // Points taken; the chooser cancelled, so the new table stays computed.
  calibrate([&](calibration::CConfig &chooser) {
    inDialog<calibration::CConfigS>(chooser, kConfigCalibrateS, [&](calibration::CConfigS &s) {
      takeGapPoints(s, {1, 3, 5, 7});
      click(s, 1);
    });
    click(chooser, 2);
  });
  ASSERT_TRUE(waitReady()) << "back from the restart";

  // "Записать..." with a file the sensor refuses: the computed table stays,
  // and the next "Прочитать..." still writes it.
  const std::string bad = dataFile("short.cf");
  std::ofstream(bad) << "not a table";
  prompts.files.clear();
  prompts.fileAnswers = {QString::fromStdString(bad)};
  QTest::mouseClick(window->item(kWriteTables), Qt::LeftButton);
  ASSERT_EQ(prompts.files.size(), 1u);
  EXPECT_FALSE(prompts.files[0].save);
  EXPECT_EQ(prompts.files[0].options.filter,
            "файлы коэффициентов (*.cf)|*.cf|все файлы (*.*)|*.*||");
  EXPECT_EQ(sensor().tableImage(), readFile(factory)) << "refused";
  EXPECT_TRUE(waitUntil([&] { return !text(kLastError).isEmpty(); })) << "the refusal is shown";

  const std::string computed = dataFile("computed.cf");
  prompts.fileAnswers = {QString::fromStdString(computed)};
  QTest::mouseClick(window->item(kReadTables), Qt::LeftButton);
  const std::vector<uint8_t> withPoints = readFile(computed);
  ASSERT_EQ(withPoints.size(), 6144u);
  sensor().setGap(kReferenceGaps[1]);
  EXPECT_EQ(floatAt(withPoints, 1505), inputFloat(sensor(), kInVoltageUs)) << "computed range";
  sensor().setGap(kReferenceGaps[7]);
  EXPECT_EQ(floatAt(withPoints, 1506), inputFloat(sensor(), kInVoltageUs));

  // "Записать..." of a file the sensor takes: it serves it, and the program
  // reads the tables back; a computed table is no longer pending.
  prompts.fileAnswers = {QString::fromStdString(computed)};
  {
    ProgressPicture picture(window.get(), QStringLiteral("transfer_progress"));
    QTest::mouseClick(window->item(kWriteTables), Qt::LeftButton);
    EXPECT_TRUE(picture.saved()) << "the transfer showed its progress over the main window";
  }
  EXPECT_EQ(sensor().tableImage(), withPoints);
  prompts.fileAnswers = {QString::fromStdString(factory)};
  QTest::mouseClick(window->item(kWriteTables), Qt::LeftButton);
  ASSERT_EQ(sensor().tableImage(), readFile(factory));
  ASSERT_TRUE(waitReady());
  const std::string again = dataFile("again.cf");
  prompts.fileAnswers = {QString::fromStdString(again)};
  QTest::mouseClick(window->item(kReadTables), Qt::LeftButton);
  EXPECT_EQ(readFile(again), readFile(factory)) << "the sensor's tables, not the computed ones";

  // "Перешить...": any file, as file.bin.
  const std::string firmware = dataFile("fw.img");
  std::ofstream(firmware) << std::string(1500, 'x');
  prompts.files.clear();
  prompts.fileAnswers = {QString::fromStdString(firmware)};
  QTest::mouseClick(window->item(kUpload), Qt::LeftButton);
  ASSERT_EQ(prompts.files.size(), 1u);
  EXPECT_TRUE(prompts.files[0].options.filter.isEmpty());
  EXPECT_TRUE(prompts.files[0].options.defaultExtension.isEmpty());
  EXPECT_TRUE(prompts.files[0].options.initialPath.isEmpty());
  ASSERT_TRUE(sensor().file("file.bin").has_value());
  EXPECT_EQ(sensor().file("file.bin")->size(), 1500u);
}

// A coefficient file that cannot be written is no longer silent.
TEST_F(CalibrationCommands, AFileThatCannotBeWrittenIsShown) {
  const std::string nowhere = dataFile("missing/t.cf");
  const std::string expected = "Не удалось создать файл коэффициентов " + nowhere +
                               ": не удается найти указанный файл или устройство";
  prompts.fileAnswers = {QString::fromStdString(nowhere)};
  QTest::mouseClick(window->item(kReadTables), Qt::LeftButton);
  ASSERT_TRUE(waitUntil([&] { return text(kLastError).toStdString() == expected; }))
      << text(kLastError).toStdString();
  QTest::qWait(5 * app::CSentuneDlg::kRefreshPeriodMs);
  EXPECT_EQ(text(kLastError).toStdString(), expected) << "kept while polls succeed";

  // In a calibration the sensor restarts instead, and the text stays.
  prompts.fileAnswers = {QString::fromStdString(nowhere)};
  calibrate([&](calibration::CConfig &chooser) {
    inDialog<calibration::CConfigS>(chooser, kConfigCalibrateS, [&](calibration::CConfigS &s) {
      takeGapPoints(s, {2, 4});
      click(s, 1);
    });
    click(chooser, 1);
  });
  EXPECT_EQ(sensor().status().restarts, 1u);
  EXPECT_EQ(uploads(), 0u);
  ASSERT_TRUE(waitReady());
  EXPECT_EQ(text(kLastError).toStdString(), expected);

  // Until the user's next command.
  QTest::mouseClick(window->item(kResetStatistics), Qt::LeftButton);
  EXPECT_TRUE(waitUntil([&] { return text(kLastError).isEmpty(); }));
}

}  // namespace
