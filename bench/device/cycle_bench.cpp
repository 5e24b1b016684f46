// The polling worker's cycle against its schedule, and its CPU use.
//
// A healthy link costs one 32-register read per cycle, and a cycle is that
// read plus a 100 ms pause. The bench measures, in one run over a paced
// pseudo-terminal line at 57600 bit/s:
//   - the time of that read on its own (RK_Exchange from this thread);
//   - the interval between the worker's reads, as the simulated sensor heard
//     them, against read + 100 ms;
//   - the CPU time of the worker thread per cycle and as a share of a core;
//   - the cost of one snapshot() for a reader (the display takes ten a second).
// Targets: within 5 % of the schedule, under 1 % of one core.
//
// The port table is private to the run (rk_test_support sets RK_IPC_SUFFIX).
//
// Usage: device_cycle_bench [seconds per setting, default 10]
#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "device/qvz2.h"
#include "link/rk.h"
#include "qvzsim.h"
#include "tests/support/rk_test_env.h"

namespace {

using Clock = std::chrono::steady_clock;
using Ms = std::chrono::duration<double, std::milli>;

constexpr int kCom = 9;

// CPU time of this process's thread called `name`, in ns (0 when none).
uint64_t threadCpuNs(const std::string &name) {
  DIR *dir = ::opendir("/proc/self/task");
  if (!dir) return 0;
  uint64_t ns = 0;
  while (dirent *e = ::readdir(dir)) {
    if (e->d_name[0] == '.') continue;
    const std::string task = std::string("/proc/self/task/") + e->d_name;
    std::string comm;
    std::getline(std::ifstream(task + "/comm"), comm);
    if (comm != name) continue;
    std::ifstream(task + "/schedstat") >> ns;  // first field: time on a CPU, ns
  }
  ::closedir(dir);
  return ns;
}

struct Result {
  int pollMs;
  double readMs;   // one 32-register read on its own
  double cycleMs;  // mean interval between the worker's reads
  double cpuPerCycleMs;
  double cpuShare;  // of one core
  int cycles;
  double snapshotUs;  // one snapshot() while the worker polls
};

Result measure(qvzsim::Sensor &sensor, int pollMs, int timeoutMs, double seconds) {
  Result res{pollMs, 0, 0, 0, 0, 0, 0};
  const std::string idStr = "rk.dll," + std::to_string(kCom) + ",57600," + std::to_string(pollMs) +
                            "," + std::to_string(timeoutMs);

  // The read on its own.
  uint8_t port = 0;
  if (RK_OpenIdStr(idStr.c_str(), &port) != RK_OK) {
    std::fprintf(stderr, "cannot open %s\n", idStr.c_str());
    std::exit(1);
  }
  uint16_t regs[32];
  const int reads = 20;
  const auto t0 = Clock::now();
  for (int i = 0; i < reads; ++i) {
    if (RK_Exchange(port, 1, 4, 0, 32, regs) != RK_OK) {
      std::fprintf(stderr, "read failed\n");
      std::exit(1);
    }
  }
  res.readMs = Ms(Clock::now() - t0).count() / reads;
  RK_Close(port);

  // The worker.
  const std::string ini = "/tmp/device_cycle_bench_" + std::to_string(::getpid()) + ".ini";
  std::ofstream(ini) << "[SETTINGS]\nIdStr=" << idStr << "\nDeviceId=1\n";
  {
    device::TQVZ2 dev(ini);
    while (!dev.snapshot().online)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    sensor.clearRequests();
    const uint64_t cpu0 = threadCpuNs("qvz-poll");
    const auto w0 = Clock::now();
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    const uint64_t cpu1 = threadCpuNs("qvz-poll");
    const double wallMs = Ms(Clock::now() - w0).count();

    device::MeasurementRecord rec;
    const int snapshots = 10000;
    const auto s0 = Clock::now();
    for (int i = 0; i < snapshots; ++i)
      dev.snapshot(rec);
    res.snapshotUs = Ms(Clock::now() - s0).count() * 1000.0 / snapshots;

    std::vector<Clock::time_point> times;
    for (const auto &r : sensor.requests()) {
      if (r.function == 4) times.push_back(r.time);
    }
    res.cycles = static_cast<int>(times.size()) - 1;
    if (res.cycles > 0) res.cycleMs = Ms(times.back() - times.front()).count() / res.cycles;
    const double cpuMs = static_cast<double>(cpu1 - cpu0) / 1e6;
    res.cpuPerCycleMs = res.cycles > 0 ? cpuMs / res.cycles : 0;
    res.cpuShare = cpuMs / wallMs;
  }
  std::remove(ini.c_str());
  return res;
}

}  // namespace

int main(int argc, char **argv) {
  const double seconds = argc > 1 ? std::atof(argv[1]) : 10.0;

  qvzsim::Line line;
  if (!line.start()) {
    std::fprintf(stderr, "qvzsim: %s\n", line.error().c_str());
    return 1;
  }
  qvzsim::SensorOptions options;
  options.type = qvzsim::kThreeAxis;
  auto sensor = line.addSensor(options);
  if (!sensor) {
    std::fprintf(stderr, "qvzsim: %s\n", line.error().c_str());
    return 1;
  }
  rktest::mapComPort(kCom, line.slavePath());

  std::printf("Polling worker on a simulated sensor, 57600 bit/s, %.0f s per setting\n\n", seconds);
  std::printf("%-12s %10s %12s %12s %9s %14s %10s %7s %12s\n", "PollInterval", "read ms",
              "schedule ms", "cycle ms", "vs sched", "CPU/cycle ms", "CPU share", "cycles",
              "snapshot us");
  // The program's setting for 57600 bit/s (100, 300), and a short interval.
  for (const auto &[pollMs, timeoutMs] : {std::pair{100, 300}, std::pair{20, 100}}) {
    const Result r = measure(*sensor, pollMs, timeoutMs, seconds);
    const double schedule = r.readMs + 100.0;
    std::printf("%-12d %10.2f %12.2f %12.2f %+8.2f%% %14.3f %9.3f%% %7d %12.2f\n", r.pollMs,
                r.readMs, schedule, r.cycleMs, 100.0 * (r.cycleMs - schedule) / schedule,
                r.cpuPerCycleMs, 100.0 * r.cpuShare, r.cycles, r.snapshotUs);
  }
  std::printf("\nTargets: cycle within 5 %% of the schedule; CPU share under 1 %% of one core.\n");
  return 0;
}
