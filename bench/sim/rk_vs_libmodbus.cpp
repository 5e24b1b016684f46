// Time of one 32-register read (function 4) from a simulated sensor on a line
// paced at 57600 bit/s: rk with PollInterval 50 and 1, libmodbus with its
// defaults and with a tuned response timeout, beside the line-time floor.
//
//   bench_sim_rk_vs_libmodbus [reads]      (default 200; rk at 50 ms does a fifth)
#include <modbus/modbus.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

#include "link/rk.h"
#include "qvzsim.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr uint32_t kBaud = 57600;

struct Result {
  const char *name;
  std::vector<double> ms;
  int failures = 0;
  double median() const {
    auto v = ms;
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
  }
  double mean() const {
    double s = 0;
    for (double x : ms)
      s += x;
    return ms.empty() ? 0 : s / double(ms.size());
  }
  double p95() const {
    auto v = ms;
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[std::min(v.size() - 1, v.size() * 95 / 100)];
  }
};

// Runs `read` n times after a short warm-up; a read returns success.
Result measure(const char *name, int n, const std::function<bool()> &read) {
  Result r{name, {}};
  for (int i = 0; i < 3; ++i)
    read();
  for (int i = 0; i < n; ++i) {
    const auto t0 = Clock::now();
    const bool ok = read();
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
    if (ok)
      r.ms.push_back(ms);
    else
      ++r.failures;
  }
  return r;
}

Result rkReads(const char *name, const std::string &path, uint32_t pollInterval, int n) {
  setenv("RK_COM1", path.c_str(), 1);
  RkParamBlock block{};
  block.Size = sizeof block;
  RK_GetDefaultParamBlock(&block);
  block.BaudRate = kBaud;
  block.PollInterval = pollInterval;
  if (RK_Open(0, &block) != 0) {
    std::fprintf(stderr, "RK_Open failed\n");
    std::exit(1);
  }
  uint16_t regs[32];
  Result r = measure(name, n, [&] { return RK_Exchange(0, 1, 4, 0, 32, regs) == 0; });
  RK_Close(0);
  return r;
}

Result libmodbusReads(const char *name, const std::string &path, int n, bool tuned) {
  modbus_t *ctx = modbus_new_rtu(path.c_str(), kBaud, 'N', 8, 1);
  if (!ctx || modbus_connect(ctx) != 0) {
    std::fprintf(stderr, "libmodbus: cannot open %s\n", path.c_str());
    std::exit(1);
  }
  modbus_set_slave(ctx, 1);
  if (tuned) modbus_set_response_timeout(ctx, 0, 50000);  // 50 ms instead of 500
  uint16_t regs[32];
  Result r = measure(name, n, [&] { return modbus_read_input_registers(ctx, 0, 32, regs) == 32; });
  modbus_close(ctx);
  modbus_free(ctx);
  return r;
}

}  // namespace

int main(int argc, char **argv) {
  const int n = argc > 1 ? std::max(10, std::atoi(argv[1])) : 200;
  qvzsim::Line line;
  if (!line.start()) {
    std::fprintf(stderr, "qvzsim: %s\n", line.error().c_str());
    return 1;
  }
  line.addSensor({});
  const std::string path = line.slavePath();
  const qvzsim::LineOptions defaults;
  const double floorMs = (8 + 69) * 10.0 * 1000.0 / kBaud;
  const double reactionMs =
      std::chrono::duration<double, std::milli>(defaults.reactionTime).count();

  std::vector<Result> results;
  results.push_back(rkReads("rk, PollInterval 50", path, 50, std::max(10, n / 5)));
  results.push_back(rkReads("rk, PollInterval 1", path, 1, n));
  results.push_back(libmodbusReads("libmodbus, defaults", path, n, false));
  results.push_back(libmodbusReads("libmodbus, response timeout 50 ms", path, n, true));

  std::printf("32-register read (function 4) at %u bit/s, qvzsim reaction time %.1f ms\n", kBaud,
              reactionMs);
  std::printf("line-time floor: 8 + 69 bytes x 10 bits = %.2f ms (%.2f ms with the reaction)\n\n",
              floorMs, floorMs + reactionMs);
  std::printf("%-36s %8s %8s %8s %6s %8s\n", "", "median", "mean", "p95", "fails", "reads");
  for (const Result &r : results)
    std::printf("%-36s %8.2f %8.2f %8.2f %6d %8zu\n", r.name, r.median(), r.mean(), r.p95(),
                r.failures, r.ms.size());
  const double ratio = results[1].median() / results[2].median();
  std::printf("\nrk (PollInterval 1) / libmodbus (defaults), medians: %.2f (target <= 1.3)\n",
              ratio);
  return 0;
}
