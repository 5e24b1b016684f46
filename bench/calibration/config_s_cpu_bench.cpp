// CPU use of sentune while the channel S calibration dialog is open on a live
// sensor: the dialog's 100 ms tick (snapshot, live values, labels, error),
// the main window's refresh under it, the polling worker and the reference
// ADC's worker with the simulated E-140 module, all in this process as in
// the program. The simulated sensor runs as a process of its own (qvzsim),
// so that its CPU is not counted. For comparison the same with the main
// window alone. Target: under 3 % of one core with the dialog open.
//
// Usage: config_s_cpu_bench [--seconds N]   (default 20, each phase)
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QEventLoop>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>

#include "app/globals.h"
#include "app/main_window.h"
#include "calibration/config_s.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

double seconds(const timeval &t) {
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
}

// CPU seconds (user + system) of the process and of this (the UI) thread.
struct Cpu {
  double process, uiThread;
  static Cpu now() {
    rusage self{}, thread{};
    ::getrusage(RUSAGE_SELF, &self);
    ::getrusage(RUSAGE_THREAD, &thread);
    return {seconds(self.ru_utime) + seconds(self.ru_stime),
            seconds(thread.ru_utime) + seconds(thread.ru_stime)};
  }
};

// Runs the event loop for `s` seconds and prints the CPU it took.
void measure(const char *what, int s) {
  const Cpu c0 = Cpu::now();
  const auto w0 = Clock::now();
  QEventLoop loop;
  QTimer::singleShot(s * 1000, &loop, &QEventLoop::quit);
  loop.exec();
  const Cpu c1 = Cpu::now();
  const double wall = std::chrono::duration<double>(Clock::now() - w0).count();
  std::printf("%-34s process %5.2f %% of one core, UI thread %5.2f %%  (over %.0f s)\n", what,
              100.0 * (c1.process - c0.process) / wall, 100.0 * (c1.uiThread - c0.uiThread) / wall,
              wall);
}

bool waitFor(const std::function<bool()> &cond, int ms) {
  const auto end = Clock::now() + std::chrono::milliseconds(ms);
  while (!cond()) {
    if (Clock::now() > end) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

}  // namespace

int main(int argc, char **argv) {
  int phase = 20;
  for (int i = 1; i + 1 < argc; ++i) {
    if (std::strcmp(argv[i], "--seconds") == 0) phase = std::atoi(argv[i + 1]);
  }
  if (!std::getenv("DISPLAY")) ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
  ::setenv("SENTUNE_LUSBAPI", E140SIM, 1);

  const fs::path dir = fs::temp_directory_path() / ("config_s_bench_" + std::to_string(::getpid()));
  fs::create_directories(dir);
  const std::string tty = (dir / "ttyQVZ").string();
  const pid_t sim = ::fork();
  if (sim == 0) {
    const int null = ::open("/dev/null", O_WRONLY);
    ::dup2(null, STDOUT_FILENO);
    ::dup2(null, STDERR_FILENO);
    ::execl(QVZSIM_EXE, QVZSIM_EXE, "--no-stdin", "--link", tty.c_str(), "--sensor",
            "type=1,address=1,serial=1001", static_cast<char *>(nullptr));
    ::_exit(127);
  }
  for (int i = 0; i < 200 && !fs::exists(tty); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  ::setenv("RK_COM1", tty.c_str(), 1);
  // As the demo and a search leave it: 57600 bit/s, 100 ms poll interval.
  std::ofstream(dir / "sentune.ini") << "[SETTINGS]\nIdStr=rk.dll,1,57600,100,300\nDeviceId=1\n";

  int status = 0;
  {
    QApplication qt(argc, argv);
    app::CSentuneDlg window((dir / "sentune").string(), "/calibr");
    window.show();
    if (!waitFor([] { return app::theDevice && app::theDevice->snapshot().online; }, 30000)) {
      std::fprintf(stderr, "config_s_bench: the sensor did not come online\n");
      status = 1;
    } else {
      // Some points, so that the graph has a computed curve to draw.
      device::TQVZ2 &dev = *app::theDevice;
      for (int i = 0; i < 5; ++i)
        dev.setCalPoint(2 * i, 0.2 + 0.45 * i, false, 1.0);
      measure("main window alone:", phase);
      calibration::CConfigS dialog(dev, &window);
      dialog.showModeless();
      measure("with CConfigS open (target < 3 %):", phase);
      std::printf("the dialog was live: Us %s V, S %s mm\n",
                  dialog.itemText(1040).toUtf8().constData(),
                  dialog.itemText(1042).toUtf8().constData());
      dialog.endDialog(2);
    }
  }
  ::kill(sim, SIGTERM);
  ::waitpid(sim, nullptr, 0);
  fs::remove_all(dir);
  return status;
}
