// What a search costs, measured against simulated sensors on a
// pseudo-terminal through the production prober (rk):
//   a silent probe (open, an 8-register read that nobody answers, close)
//     beside Attempts x (ReplyTimeout div PollInterval + 1) x PollInterval
//     of its speed-table row: 4.5 s at 1200 bit/s, 1.2 s at 9600 and 57600;
//   the time from "Поиск" to the find when the sensor answers at the n-th
//     combination, with ticks 50 ms apart as in the dialog, beside
//     (n - 1) x (silent probe + 50 ms) + an answered probe + 50 ms.
//   search_bench [--quick]     --quick: fewer runs and combinations
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "device/speed_table.h"
#include "platform/sleep.h"
#include "qvzsim.h"
#include "resources/strings.h"
#include "rk.h"
#include "search/prober.h"
#include "search/scan.h"
#include "tests/support/rk_test_env.h"

namespace {

constexpr int kTickMs = 50;

double nowMs() {
  return static_cast<double>(platform::monotonicNs()) / 1e6;
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

// A line with one sensor at `address` and `baud`, known to rk as COM1.
struct Bench {
  qvzsim::Line line;
  bool start(uint8_t address, uint32_t baud) {
    if (!line.start()) return false;
    qvzsim::SensorOptions o;
    o.type = qvzsim::kThreeAxis;
    o.address = address;
    o.baud = baud;
    if (!line.addSensor(o)) return false;
    rktest::mapComPort(1, line.slavePath());
    return true;
  }
};

// The retry cycle of a silent request with the library's default attempts.
double silentScheduleMs(const device::SpeedRow &row) {
  RkParamBlock block{};
  block.Size = sizeof block;
  RK_GetDefaultParamBlock(&block);
  return static_cast<double>(block.Attempts) * (row.timeoutMs / row.stepMs + 1) * row.stepMs;
}

search::Texts tableTexts() {
  return {resources::loadString(resources::kStrIdFormat).toStdString(),
          resources::loadString(resources::kStrSearchDisplay).toStdString(),
          resources::loadString(resources::kStrNotFound).toStdString()};
}

// The identification string of COM1 at a row of the speed table, as the
// scan makes it.
std::string idString(int row) {
  search::RkProber unused;
  return search::Scan(unused, tableTexts()).idString(1, row);
}

double silentProbes(bool quick) {
  std::printf("%-8s %12s %12s %12s %8s %s\n", "bit/s", "formula ms", "median ms", "fastest ms",
              "diff", "within 5 %");
  double silent57600 = 0;
  for (const int row : {0, 3, 6}) {
    const device::SpeedRow &r = device::speedTable[static_cast<std::size_t>(row)];
    Bench bench;
    if (!bench.start(1, r.baud)) {
      std::fprintf(stderr, "qvzsim: %s\n", bench.line.error().c_str());
      return -1;
    }
    search::RkProber prober;
    std::vector<double> runs;
    const int count = quick ? 1 : (row == 0 ? 2 : 3);
    for (int i = 0; i < count; ++i) {
      const double t0 = nowMs();
      if (prober.probe(idString(row), 2)) std::fprintf(stderr, "address 2 answered\n");
      runs.push_back(nowMs() - t0);
    }
    const double formula = silentScheduleMs(r), med = median(runs);
    const double diff = 100.0 * (med - formula) / formula;
    std::printf("%-8u %12.0f %12.1f %12.1f %+7.2f%% %s\n", r.baud, formula, med,
                *std::min_element(runs.begin(), runs.end()), diff,
                std::abs(diff) <= 5.0 ? "yes" : "NO");
    if (row == 6) silent57600 = med;
  }
  return silent57600;
}

// Runs the scan as the dialog's timer would until it stops; milliseconds.
double scanToFind(int n, bool &found) {
  Bench bench;
  if (!bench.start(static_cast<uint8_t>(n), 57600)) return -1;
  search::RkProber prober;
  search::Scan scan(prober, tableTexts());
  scan.setPorts({1});
  std::vector<bool> speeds(device::kSpeedRows, false);
  speeds[6] = true;
  const search::Choice choice{{true}, speeds, 1, n};
  const double t0 = nowMs();
  scan.startStop(choice);
  while (scan.searching()) {
    platform::sleepMs(kTickMs);
    scan.tick(choice);
  }
  found = scan.address() == n && !scan.selectedString().empty();
  return nowMs() - t0;
}

}  // namespace

int main(int argc, char **argv) {
  const bool quick = argc > 1 && std::strcmp(argv[1], "--quick") == 0;
  std::printf("silent probe: open, read 8 registers of a silent address, close\n");
  const double silent = silentProbes(quick);
  if (silent < 0) return 1;

  // One answered probe at 57600 bit/s.
  Bench answering;
  if (!answering.start(1, 57600)) return 1;
  search::RkProber prober;
  std::vector<double> answered;
  for (int i = 0; i < 5; ++i) {
    const double t0 = nowMs();
    if (!prober.probe(idString(6), 1)) std::fprintf(stderr, "address 1 did not answer\n");
    answered.push_back(nowMs() - t0);
  }
  const double hit = median(answered);
  std::printf("\nanswered probe at 57600 bit/s: %.1f ms (median of 5)\n", hit);

  std::printf("\nfind at combination n (COM1, 57600 bit/s, addresses 1..n, ticks %d ms apart)\n",
              kTickMs);
  std::printf("%-4s %12s %12s %8s\n", "n", "model ms", "measured ms", "diff");
  for (const int n : quick ? std::vector<int>{1, 2} : std::vector<int>{1, 2, 4, 8}) {
    bool found = false;
    const double ms = scanToFind(n, found);
    const double model = (n - 1) * (silent + kTickMs) + hit + kTickMs;
    std::printf("%-4d %12.0f %12.1f %+7.2f%%%s\n", n, model, ms, 100.0 * (ms - model) / model,
                found ? "" : "  (not found!)");
  }
  return 0;
}
