// SIGTERM, SIGINT and SIGHUP end sentune through its normal shutdown: the real
// program against a simulated sensor exits 0 and leaves no named object of rk
// behind; in this process, a signal that comes while a modal dialog is open
// ends that dialog and the main window.
#include <gtest/gtest.h>

#include <signal.h>

#include <QApplication>
#include <QTest>
#include <QTimer>
#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "app/about_dialog.h"
#include "app/globals.h"
#include "app/main_window.h"
#include "app/termination_signals.h"
#include "tests/support/child_process.h"
#include "tests/support/dialog_driver.h"
#include "tests/support/rk_test_env.h"
#include "tests/support/sim_bench.h"

namespace {

using namespace std::chrono_literals;
using testsupport::SimBench;

// The names in /dev/shm that end with suffix.
std::vector<std::string> namedObjects(const std::string &suffix) {
  std::vector<std::string> names;
  for (const auto &e : std::filesystem::directory_iterator("/dev/shm")) {
    const std::string name = e.path().filename().string();
    if (name.ends_with(suffix)) names.push_back(name);
  }
  return names;
}

struct SignalCase {
  const char *name;
  std::vector<int> sent;  // signals sent one right after the other
};

void PrintTo(const SignalCase &c, std::ostream *os) {
  *os << c.name;
}

class EndOnSignal : public ::testing::TestWithParam<SignalCase> {};

TEST_P(EndOnSignal, RealProgramExitsZeroAndReleasesItsObjects) {
  SimBench bench({.type = qvzsim::kThreeAxis});
  const std::filesystem::path exe = bench.exePath();
  std::filesystem::copy_file(SENTUNE_EXE, exe);

  // A name space of rk objects that only this sentune uses (the test process
  // has its own), so that the program is their last user.
  const std::string base = rktest::ipcSuffix();
  const std::string suffix = base + ".sentune." + GetParam().name;
  ::setenv("RK_IPC_SUFFIX", suffix.c_str(), 1);
  rktest::ChildProcess sentune(exe.string(), {});
  ::setenv("RK_IPC_SUFFIX", base.c_str(), 1);

  // Running: polling the sensor through the port table of its suffix.
  ASSERT_TRUE(bench.sensor().waitForRequests(4, 3, 30s)) << "sentune does not poll";
  EXPECT_FALSE(namedObjects(suffix).empty());

  for (int s : GetParam().sent)
    ::kill(sentune.pid(), s);
  EXPECT_EQ(sentune.wait(), 0) << "exit code, or 128 + the signal that killed it";
  EXPECT_TRUE(namedObjects(suffix).empty());
  for (const std::string &name : namedObjects(suffix))  // a failure's remains
    std::filesystem::remove("/dev/shm/" + name);
}

INSTANTIATE_TEST_SUITE_P(Signals, EndOnSignal,
                         ::testing::Values(SignalCase{"term", {SIGTERM}},
                                           SignalCase{"int", {SIGINT}}, SignalCase{"hup", {SIGHUP}},
                                           SignalCase{"session", {SIGTERM, SIGHUP}}),
                         [](const auto &p) { return std::string(p.param.name); });

// In this process: the main window with its About box open (which holds the
// device) receives SIGTERM. The box ends as cancelled and releases the
// device, the main window ends, and its shutdown deletes theAdc and theDevice.
TEST(EndOnSignalInProcess, EndsTheOpenDialogAndTheMainWindow) {
  SimBench bench({.type = qvzsim::kThreeAxis});
  app::TerminationSignals endOnSignal;
  auto window = std::make_unique<app::CSentuneDlg>(bench.exePath(), "");

  bool aboutSeen = false;
  bool heldWhileOpen = false;
  QTimer::singleShot(0, [&] {  // in the main window's modal loop
    // F1 is a shortcut of the active window.
    EXPECT_TRUE(testsupport::waitUntil([&] { return window->isActiveWindow(); }, 10000));
    testsupport::whenModal<app::CAboutDlg>(
        [&](app::CAboutDlg &) {
          heldWhileOpen = app::theDevice->workerState() == device::TQVZ2::Held;
          ::kill(::getpid(), SIGTERM);
        },
        &aboutSeen);
    QTest::keyClick(window.get(), Qt::Key_F1);
  });
  EXPECT_EQ(window->runModal(), 2);

  EXPECT_TRUE(aboutSeen);
  EXPECT_TRUE(heldWhileOpen);
  EXPECT_EQ(endOnSignal.received(), SIGTERM);
  EXPECT_EQ(app::theDevice->workerState(), device::TQVZ2::Free) << "the About box let it go";
  window.reset();
  EXPECT_EQ(app::theAdc, nullptr);
  EXPECT_EQ(app::theDevice, nullptr);

  // The signal stopped every event loop of this thread for good, as it
  // should in the program; a test that comes after needs them again.
  QTimer::singleShot(0, [] { QCoreApplication::exit(0); });
  QCoreApplication::exec();
}

}  // namespace
