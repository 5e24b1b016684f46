// sentune with a live simulated sensor:
//   1. time from opening the main window to the first live value, in this
//      process (type 1 and type 2 sensors), split into start-up, the first
//      poll's requests and the rest (the last reply, one poll interval of the
//      link, the wait for the display's refresh);
//   2. the real sentune program as its own process: time from exec until the
//      simulator has served every request of the first complete poll, CPU use
//      over a measuring window, resident memory.
// Usage: sentune_bench [--seconds N]   (default 30)
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QRegularExpression>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app/main_window.h"
#include "qvzsim.h"
#include "resources/main_dialog.h"

namespace {

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

double ms(Clock::duration d) {
  return std::chrono::duration<double, std::milli>(d).count();
}

struct Bench {
  fs::path dir;
  qvzsim::Line line;
  std::optional<qvzsim::Sensor> sensor;

  explicit Bench(int type) {
    static int n = 0;
    dir = fs::temp_directory_path() /
          ("sentune_bench_" + std::to_string(::getpid()) + "_" + std::to_string(n++));
    fs::create_directories(dir);
    qvzsim::LineOptions lo;
    lo.linkPath = (dir / "ttyQVZ").string();
    if (!line.start(lo)) throw std::runtime_error(line.error());
    qvzsim::SensorOptions so;
    so.type = type;
    sensor = line.addSensor(so);
    ::setenv("RK_COM1", lo.linkPath.c_str(), 1);
    std::ofstream(dir / "sentune.ini") << "[SETTINGS]\nIdStr=rk.dll,1,57600,10,100\nDeviceId=1\n";
  }
  ~Bench() {
    line.stop();
    fs::remove_all(dir);
  }
};

// The request that ends the first complete poll: the table tail (type 1) or
// the configuration block (type 2).
uint16_t lastRegisterOfFirstPoll(int type) {
  return type == 1 ? 4024 : 4;
}

// Opening the main window until row S/Z shows a number, and where that time
// goes: start-up until the first request reaches the sensor, the first poll
// until its last request has reached it, and the rest: the last reply, the
// link's poll interval that notices it, and the wait for the next refresh.
struct FirstValue {
  double shown = -1;
  double firstRequest = -1;
  double pollDone = -1;
};

FirstValue firstValueInProcess(int type) {
  Bench b(type);
  static const QRegularExpression number(QStringLiteral("^\\s*-?\\d"));
  FirstValue f;
  const auto t0 = Clock::now();
  app::CSentuneDlg window((b.dir / "sentune").string(), "");
  window.show();
  while (!number.match(window.itemText(resources::kValueSZ)).hasMatch()) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    std::this_thread::sleep_for(std::chrono::milliseconds(1));  // leave the cores to the worker
    if (Clock::now() - t0 > std::chrono::seconds(30)) return f;
  }
  f.shown = ms(Clock::now() - t0);
  for (const qvzsim::Request &r : b.sensor->requests()) {
    if (f.firstRequest < 0) f.firstRequest = ms(r.time - t0);
    if (f.pollDone < 0 && r.function == 3 && r.start == lastRegisterOfFirstPoll(type)) {
      f.pollDone = ms(r.time - t0);
    }
  }
  return f;
}

long pageKb(const std::string &status, const char *key) {
  std::istringstream in(status);
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind(key, 0) == 0) return std::strtol(line.c_str() + std::strlen(key), nullptr, 10);
  }
  return -1;
}

std::string slurp(const fs::path &p) {
  std::ifstream in(p);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// utime + stime of a process, in clock ticks.
long long cpuTicks(pid_t pid) {
  const std::string stat = slurp("/proc/" + std::to_string(pid) + "/stat");
  const auto close = stat.rfind(')');
  std::istringstream in(stat.substr(close + 2));
  std::string field;
  long long utime = 0, stime = 0;
  for (int i = 3; i <= 15 && in >> field; ++i) {
    if (i == 14) utime = std::stoll(field);
    if (i == 15) stime = std::stoll(field);
  }
  return utime + stime;
}

void wholeProcess(int type, int seconds) {
  Bench b(type);
  fs::copy_file(SENTUNE_EXE, b.dir / "sentune");
  fs::permissions(b.dir / "sentune", fs::perms::owner_all);
  const auto t0 = Clock::now();
  const pid_t pid = ::fork();
  if (pid == 0) {
    if (!std::getenv("DISPLAY")) ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    ::setenv("SENTUNE_LUSBAPI", E140SIM, 1);
    const std::string exe = (b.dir / "sentune").string();
    ::execl(exe.c_str(), exe.c_str(), static_cast<char *>(nullptr));
    ::_exit(127);
  }
  // The first complete poll ends with the table tail (type 1) or the
  // configuration block (type 2); the window shows it at its next refresh.
  const uint16_t lastRegister = lastRegisterOfFirstPoll(type);
  double online = -1;
  while (Clock::now() - t0 < std::chrono::seconds(30) && online < 0) {
    for (const qvzsim::Request &r : b.sensor->requests()) {
      if (r.function == 3 && r.start == lastRegister) online = ms(r.time - t0);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  std::this_thread::sleep_for(std::chrono::seconds(2));  // settle
  const long long c0 = cpuTicks(pid);
  const auto w0 = Clock::now();
  std::this_thread::sleep_for(std::chrono::seconds(seconds));
  const long long c1 = cpuTicks(pid);
  const double wall = ms(Clock::now() - w0) / 1000.0;
  const std::string status = slurp("/proc/" + std::to_string(pid) + "/status");
  const double cpu = 100.0 * static_cast<double>(c1 - c0) / ::sysconf(_SC_CLK_TCK) / wall;
  const auto polls = b.sensor->requestCount(4);
  ::kill(pid, SIGTERM);
  ::waitpid(pid, nullptr, 0);
  std::printf("type %d  exec to first complete poll  %7.0f ms (+ at most 100 ms to the display)\n",
              type, online);
  std::printf("type %d  CPU over %2.0f s               %7.2f %% of one core  (target < 2 %%)\n",
              type, wall, cpu);
  std::printf(
      "type %d  resident memory              %7.1f MB now, %.1f MB peak  (target < 80 MB)\n", type,
      pageKb(status, "VmRSS:") / 1024.0, pageKb(status, "VmHWM:") / 1024.0);
  std::printf("type %d  sensor polls served          %7llu\n", type,
              static_cast<unsigned long long>(polls));
}

}  // namespace

int main(int argc, char **argv) {
  int seconds = 30;
  for (int i = 1; i + 1 < argc; ++i) {
    if (std::string(argv[i]) == "--seconds") seconds = std::atoi(argv[i + 1]);
  }
  if (!std::getenv("DISPLAY")) ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
  ::setenv("SENTUNE_LUSBAPI", E140SIM, 1);
  {
    QApplication qt(argc, argv);
    for (int type : {1, 2}) {
      std::vector<FirstValue> runs;
      for (int i = 0; i < 3; ++i)
        runs.push_back(firstValueInProcess(type));
      std::sort(runs.begin(), runs.end(),
                [](const FirstValue &a, const FirstValue &b) { return a.shown < b.shown; });
      const FirstValue &m = runs[1];
      std::printf(
          "type %d  window open to first live value  %7.0f ms median of 3 (%.0f..%.0f)"
          "  (target < 1500 ms)\n"
          "        of which: start-up to first request %.0f ms, first poll %.0f ms,"
          " last reply to display %.0f ms\n",
          type, m.shown, runs[0].shown, runs[2].shown, m.firstRequest, m.pollDone - m.firstRequest,
          m.shown - m.pollDone);
    }
  }
  for (int type : {1, 2})
    wholeProcess(type, seconds);
  return 0;
}
