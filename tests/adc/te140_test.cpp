// TE140 against the simulated E-140 module, loaded with dlopen through
// SENTUNE_LUSBAPI as the program loads a real module library.
#include "adc/te140.h"

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "sim/e140/e140sim.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

constexpr char kNotFound[] = "модуль E-140 не найден";
constexpr char kUnplugged[] = "нет связи с модулем E-140";  // the simulated module's text
constexpr double kRms1V = 0.70710678;                       // of a 1 V sine

std::string exact(double v) {
  char text[32];
  std::snprintf(text, sizeof text, "%.17g", v);
  return text;
}

// The numbers of a status line; points equals nm when the line shows one count.
struct RateLine {
  int rate = -1, nm = -1, points = -1;
};

std::optional<RateLine> parseRateLine(const std::string &text) {
  RateLine r;
  int end = -1;
  if (std::sscanf(text.c_str(), "ввод на частоте %d Гц, усреднение по %d (%d) точкам%n", &r.rate,
                  &r.nm, &r.points, &end) == 3 &&
      end == static_cast<int>(text.size())) {
    return r;
  }
  end = -1;
  if (std::sscanf(text.c_str(), "ввод на частоте %d Гц, усреднение по %d точкам%n", &r.rate, &r.nm,
                  &end) == 2 &&
      end == static_cast<int>(text.size())) {
    r.points = r.nm;
    return r;
  }
  return std::nullopt;
}

class TE140Test : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char *v : {"SENTUNE_E140_AMPLITUDE", "SENTUNE_E140_FREQUENCY", "SENTUNE_E140_OFFSET",
                          "SENTUNE_E140_NOISE", "SENTUNE_E140_SLOT", "SENTUNE_E140_PRESENT",
                          "SENTUNE_E140_FAIL", "SENTUNE_E140_SEED"}) {
      ::unsetenv(v);
    }
    std::string tmpl = (fs::temp_directory_path() / "te140_test.XXXXXX").string();
    ASSERT_NE(::mkdtemp(tmpl.data()), nullptr);
    dir_ = tmpl;
    ini_ = (dir_ / "sentune.ini").string();
    control_ = (dir_ / "e140.control").string();
    ::setenv("SENTUNE_LUSBAPI", E140SIM_PATH, 1);
    ::setenv("SENTUNE_E140_CONTROL", control_.c_str(), 1);
    sim_ = ::dlopen(E140SIM_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(sim_, nullptr) << ::dlerror();
    counters_ = reinterpret_cast<E140SimCountersFunction>(::dlsym(sim_, "e140sim_counters"));
    ASSERT_NE(counters_, nullptr);
  }
  void TearDown() override {
    if (sim_ != nullptr) ::dlclose(sim_);
    fs::remove_all(dir_);
  }

  void settings(const std::string &e140Lines) const {
    std::ofstream(ini_) << "[E140]\n" << e140Lines;
  }
  // Replaces the control file in one step, as a person's editor would not, so
  // that the module never reads half of it.
  void control(const std::string &text) const {
    const std::string tmp = control_ + ".new";
    std::ofstream(tmp) << text;
    fs::rename(tmp, control_);
  }
  E140SimCounters counters() const {
    E140SimCounters c{};
    counters_(&c);
    return c;
  }

  // Counters taken while the worker pauses between searches: unchanged over
  // 200 ms, well inside the 500 ms pause and far longer than a worker that a
  // loaded machine holds up in the middle of a search would stand still.
  E140SimCounters quietCounters() const {
    const Clock::time_point deadline = Clock::now() + 20s;
    for (;;) {
      const E140SimCounters a = counters();
      std::this_thread::sleep_for(200ms);
      const E140SimCounters b = counters();
      if (a.opens == b.opens && a.searches == b.searches) return b;
      if (Clock::now() > deadline) {
        ADD_FAILURE() << "the worker never pauses between searches";
        return b;
      }
    }
  }

  template <typename Condition>
  static bool waitUntil(Condition condition, Clock::duration limit = 20s) {
    const Clock::time_point deadline = Clock::now() + limit;
    while (!condition()) {
      if (Clock::now() > deadline) return false;
      std::this_thread::sleep_for(5ms);
    }
    return true;
  }
  static bool measured(const TE140 &adc, double &value) {
    return adc.GetReference(value) && value != TE140::kNoValue;
  }
  static std::string status(const TE140 &adc) {
    std::string text;
    adc.GetStatusText(text);
    return text;
  }

  fs::path dir_;
  std::string ini_;
  std::string control_;
  void *sim_ = nullptr;
  E140SimCountersFunction counters_ = nullptr;
};

TEST_F(TE140Test, SineGivesItsRmsOverWholePeriodsWithTheDefaults) {
  ::setenv("SENTUNE_E140_AMPLITUDE", "1.0", 1);
  ::setenv("SENTUNE_E140_OFFSET", "0.3", 1);
  TE140 adc(ini_);  // no INI file: every setting at its default

  double value = 0;
  ASSERT_TRUE(waitUntil([&] { return measured(adc, value); })) << status(adc);
  EXPECT_NEAR(value, kRms1V, kRms1V * 0.003);

  std::string text;
  EXPECT_TRUE(adc.GetStatusText(text));
  const std::optional<RateLine> line = parseRateLine(text);
  ASSERT_TRUE(line) << text;
  // 16 MHz / 533: the rate the module actually runs at, read back after start.
  EXPECT_EQ(line->rate, 30019);
  EXPECT_EQ(line->nm, 15008);
  const int points = line->points;
  const double period = 16000000.0 / 533 / 160;  // samples per period of 160 Hz
  EXPECT_LT(points, 15008);
  EXPECT_GT(points, 15008 - 2 * period);
  EXPECT_NEAR(points, std::round(points / period) * period, 1.0) << "a whole number of periods";
}

TEST_F(TE140Test, RangeOffsetsAndCorrectionsGiveVolts) {
  struct Case {
    const char *what;
    int logChan, k0;
    double k1, amplitude, dc;
    bool windowed;  // rising zero crossings found
  } cases[] = {
      {"range 0", 0, 0, 10.0 / 8000, 1.0, 0.0, true},
      {"range 1", 64, 0, 2.5 / 8000, 1.0, 0.2, true},
      {"range 2, channel 3", 128 | 3, 0, 0.625 / 8000, 0.25, 0.0, true},
      {"range 3", 192, 0, 0.15625 / 8000, 0.1, 0.0, true},
      {"lifted sine never crosses zero", 0, 0, 10.0 / 8000, 1.0, 2.0, false},
      {"K0 brings it back to zero", 0, -1600, 10.0 / 8000, 1.0, 2.0, true},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    settings("NM=3008\nLogChan=" + std::to_string(c.logChan) + "\nK0=" + std::to_string(c.k0) +
             "\nK1=" + exact(c.k1) + "\n");
    ::setenv("SENTUNE_E140_AMPLITUDE", exact(c.amplitude).c_str(), 1);
    ::setenv("SENTUNE_E140_OFFSET", exact(c.dc).c_str(), 1);
    ::setenv("SENTUNE_E140_FREQUENCY", "160", 1);
    TE140 adc(ini_);
    double value = 0;
    ASSERT_TRUE(waitUntil([&] { return measured(adc, value); })) << status(adc);
    const double expected = c.amplitude * kRms1V;
    // A whole block of a non-whole number of periods is off by a little more.
    EXPECT_NEAR(value, expected, expected * (c.windowed ? 0.003 : 0.02));
    const std::string text = status(adc);
    const bool windowed = text.find("по 3008 (") != std::string::npos;
    EXPECT_EQ(windowed, c.windowed) << text;
  }
}

TEST_F(TE140Test, ConstantGivesZeroOverTheWholeBlock) {
  settings("NM=3008\n");
  ::setenv("SENTUNE_E140_AMPLITUDE", "0", 1);
  ::setenv("SENTUNE_E140_OFFSET", "0.5", 1);
  TE140 adc(ini_);
  double value = 0;
  ASSERT_TRUE(waitUntil([&] { return measured(adc, value); })) << status(adc);
  EXPECT_EQ(value, 0.0);
  EXPECT_EQ(status(adc), "ввод на частоте 30019 Гц, усреднение по 3008 точкам");
}

TEST_F(TE140Test, BlockSizeIsRaisedToAMultipleOf32) {
  settings("NM=100\n");
  TE140 adc(ini_);
  double value = 0;
  ASSERT_TRUE(waitUntil([&] { return measured(adc, value); })) << status(adc);
  // 128 samples hold less than one period of 160 Hz: the whole block counts.
  EXPECT_EQ(status(adc), "ввод на частоте 30019 Гц, усреднение по 128 точкам");
}

TEST_F(TE140Test, WithoutAModuleLibraryThereIsNoWorkerAndNoError) {
  struct Case {
    const char *library;
    const char *what;
  } cases[] = {{"/nonexistent/liblusbapi.so", "no such file"},
               {"libm.so.6", "a library without the factory"}};
  settings("Rate=25000\n");
  for (const Case &c : cases) {
    ::setenv("SENTUNE_LUSBAPI", c.library, 1);
    const E140SimCounters before = counters();
    TE140 adc(ini_);
    double value = 0;
    EXPECT_TRUE(adc.GetReference(value)) << c.what;
    EXPECT_EQ(value, TE140::kNoValue) << c.what;
    std::string text;
    EXPECT_TRUE(adc.GetStatusText(text)) << c.what;
    EXPECT_EQ(text, "ввод на частоте 25000 Гц, усреднение по 15008 точкам") << c.what;
    EXPECT_EQ(counters().opens, before.opens);
  }
}

TEST_F(TE140Test, NoModuleOnAnySlotIsReportedAndSearchedForEveryHalfSecond) {
  ::setenv("SENTUNE_E140_PRESENT", "0", 1);
  TE140 adc(ini_);
  ASSERT_TRUE(waitUntil([&] { return status(adc) == kNotFound; })) << status(adc);
  double value = 123;
  EXPECT_FALSE(adc.GetReference(value));
  EXPECT_EQ(value, 123) << "no value is stored";
  std::string text;
  EXPECT_FALSE(adc.GetStatusText(text));
  EXPECT_EQ(text, kNotFound);

  const E140SimCounters first = quietCounters();
  const Clock::time_point start = Clock::now();
  ASSERT_TRUE(waitUntil([&] { return counters().searches >= first.searches + 2; }));
  const E140SimCounters later = quietCounters();
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  EXPECT_EQ(later.opens - first.opens, 1000 * (later.searches - first.searches))
      << "every search tries slots 0-999";
  EXPECT_LE(static_cast<double>(later.searches - first.searches), seconds / 0.5 + 1)
      << "at most one search every 500 ms";
}

TEST_F(TE140Test, ModuleIsFoundOnTheLastSlotButNotBeyond) {
  settings("NM=128\n");
  ::setenv("SENTUNE_E140_SLOT", "999", 1);
  {
    TE140 adc(ini_);
    double value = 0;
    EXPECT_TRUE(waitUntil([&] { return measured(adc, value); })) << status(adc);
  }
  ::setenv("SENTUNE_E140_SLOT", "1000", 1);
  TE140 adc(ini_);
  EXPECT_TRUE(waitUntil([&] { return status(adc) == kNotFound; })) << status(adc);
}

TEST_F(TE140Test, FailedSetUpStepShowsTheModuleErrorAndIsRetried) {
  struct Case {
    const char *fail;
    const char *text;  // the simulated module's error text
  } cases[] = {{"description", "модуль E-140: описание не прочитано (имитация сбоя)"},
               {"parameters", "модуль E-140 отклонил параметры ввода (имитация сбоя)"},
               {"start", "модуль E-140 не запустил ввод (имитация сбоя)"}};
  settings("NM=128\n");
  for (const Case &c : cases) {
    SCOPED_TRACE(c.fail);
    ::setenv("SENTUNE_E140_FAIL", c.fail, 1);
    const E140SimCounters before = counters();
    TE140 adc(ini_);
    ASSERT_TRUE(waitUntil([&] { return status(adc) == c.text; })) << status(adc);
    double value = 0;
    EXPECT_FALSE(adc.GetReference(value));
    EXPECT_TRUE(waitUntil([&] { return counters().searches >= before.searches + 2; }));
    EXPECT_EQ(counters().blocks, before.blocks);
  }
}

TEST_F(TE140Test, UnpluggedModuleTimesOutIsSearchedForAndResumesByItself) {
  settings("NM=3008\n");  // a block lasts 100 ms, the wait for it 150 ms
  TE140 adc(ini_);
  double value = 0;
  ASSERT_TRUE(waitUntil([&] { return measured(adc, value); })) << status(adc);

  control("present=0\n");
  std::vector<std::string> seen;
  ASSERT_TRUE(waitUntil([&] {
    const std::string text = status(adc);
    if (seen.empty() || seen.back() != text) seen.push_back(text);
    return text == kNotFound;
  })) << status(adc);
  EXPECT_NE(std::find(seen.begin(), seen.end(), kUnplugged), seen.end())
      << "the time-out shows the module's error text first";
  EXPECT_FALSE(adc.GetReference(value));

  const uint64_t searches = counters().searches;
  ASSERT_TRUE(waitUntil([&] { return counters().searches > searches; })) << "searched again";

  control("present=1\n");
  ASSERT_TRUE(waitUntil([&] { return measured(adc, value); })) << status(adc);
  EXPECT_NEAR(value, kRms1V, kRms1V * 0.003);
  EXPECT_EQ(status(adc).rfind("ввод на частоте 30019 Гц", 0), 0u) << status(adc);
}

TEST_F(TE140Test, DestructionIsPromptWhateverTheWorkerIsDoing) {
  struct Case {
    const char *what;
    const char *e140;
    const char *present;
    const char *waitFor;  // status to wait for before destroying, or null
  } cases[] = {
      // 32768 samples at 244 Hz: the block takes over two minutes, its wait 16 minutes.
      {"waiting for a block", "NM=32768\nRate=50\n", "1",
       "ввод на частоте 244 Гц, усреднение по 32768 точкам"},
      {"pausing between searches", "", "0", kNotFound},
      {"just created", "", "1", nullptr},
      {"just created, no module", "", "0", nullptr},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    settings(c.e140);
    ::setenv("SENTUNE_E140_PRESENT", c.present, 1);
    for (int round = 0; round < (c.waitFor != nullptr ? 1 : 20); ++round) {
      auto adc = std::make_unique<TE140>(ini_);
      if (c.waitFor != nullptr) {
        ASSERT_TRUE(waitUntil([&] { return status(*adc) == c.waitFor; })) << status(*adc);
      }
      const Clock::time_point start = Clock::now();
      adc.reset();
      // Far below any wait of the worker's; only a destructor that waits one out fails.
      EXPECT_LT(Clock::now() - start, 10s);
    }
  }
}

TEST_F(TE140Test, ReadersOnOtherThreadsSeeConsistentValues) {
  settings("NM=128\n");                          // a block every 4 ms
  ::setenv("SENTUNE_E140_FREQUENCY", "940", 1);  // 128 samples: four whole periods
  TE140 adc(ini_);
  std::atomic<bool> stop{false};
  std::atomic<int> bad{0};
  std::atomic<int> values{0};

  auto reader = [&] {
    while (!stop.load()) {
      double value = 0;
      std::string text;
      const bool ok = adc.GetReference(value);
      if (ok && value != TE140::kNoValue) {
        values.fetch_add(1);
        if (!(value > 0.6 && value < 0.8)) bad.fetch_add(1);
      }
      if (adc.GetStatusText(text)) {
        // The configured rate until the module has started, then the module's own.
        const std::optional<RateLine> line = parseRateLine(text);
        if (!line || (line->rate != 30000 && line->rate != 30019) || line->nm != 128 ||
            line->points > 128 || line->points < 64) {
          bad.fetch_add(1);
        }
      }
    }
  };
  std::thread a(reader), b(reader);
  const uint64_t blocks = counters().blocks;
  EXPECT_TRUE(waitUntil([&] { return counters().blocks >= blocks + 50 && values.load() > 0; }));
  stop = true;
  a.join();
  b.join();
  EXPECT_EQ(bad.load(), 0);
}

}  // namespace
