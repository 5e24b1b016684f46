// Measures, side by side in one run:
//  - the processing time of one 15008-sample block against the block period
//    at 30 kHz (target: under 1 %);
//  - the CPU time of the running acquisition worker, and of the simulated
//    module's clock thread, against the wall time (target: worker under 1 %
//    of one core).
// Usage: te140_bench [seconds of acquisition, default 5]
#include <dirent.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <numbers>
#include <string>
#include <thread>
#include <vector>

#include "adc/block.h"
#include "adc/te140.h"

namespace {

using Clock = std::chrono::steady_clock;

void processingTime() {
  constexpr size_t kSamples = 15008;
  constexpr double kRate = 30000.0;
  std::vector<int16_t> block(kSamples);
  for (size_t i = 0; i < kSamples; ++i) {
    block[i] = static_cast<int16_t>(std::lround(800 * std::sin(2 * std::numbers::pi * i / 187.6)));
  }
  // An offset of 0 leaves the block as it is, so every round sees the same data.
  constexpr int kRounds = 5000;
  double sink = 0;
  const Clock::time_point start = Clock::now();
  for (int r = 0; r < kRounds; ++r)
    sink += adc::processBlock(block, 0, 0.00125).reference;
  const double perBlockUs =
      std::chrono::duration<double, std::micro>(Clock::now() - start).count() / kRounds;
  const double periodUs = kSamples / kRate * 1e6;
  std::printf(
      "processing of one %zu-sample block: %.1f us = %.4f %% of its %.0f ms period"
      " (target < 1 %%)   [check %.4f V]\n",
      kSamples, perBlockUs, 100.0 * perBlockUs / periodUs, periodUs / 1000, sink / kRounds);
}

// CPU nanoseconds of each thread of this process, by thread name.
std::map<std::string, double> threadCpuNs() {
  std::map<std::string, double> cpu;
  DIR *tasks = ::opendir("/proc/self/task");
  if (tasks == nullptr) return cpu;
  while (const dirent *e = ::readdir(tasks)) {
    if (e->d_name[0] == '.') continue;
    const std::string dir = std::string("/proc/self/task/") + e->d_name;
    std::string name;
    std::getline(std::ifstream(dir + "/comm"), name);
    double ns = 0;
    std::ifstream(dir + "/schedstat") >> ns;
    cpu[name] += ns;
  }
  ::closedir(tasks);
  return cpu;
}

void workerCpu(int seconds) {
  ::setenv("SENTUNE_LUSBAPI", E140SIM_PATH, 0);
  ::setenv("SENTUNE_E140_NOISE", "0.01", 0);
  TE140 adc("/nonexistent/sentune.ini");  // every setting at its default
  double value = TE140::kNoValue;
  const Clock::time_point deadline = Clock::now() + std::chrono::seconds(10);
  while ((!adc.GetReference(value) || value == TE140::kNoValue) && Clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  std::string status;
  adc.GetStatusText(status);
  if (value == TE140::kNoValue) {
    std::printf("worker: no value within 10 s (%s)\n", status.c_str());
    return;
  }

  const std::map<std::string, double> before = threadCpuNs();
  const Clock::time_point start = Clock::now();
  std::this_thread::sleep_for(std::chrono::seconds(seconds));
  const std::map<std::string, double> after = threadCpuNs();
  const double wallNs = std::chrono::duration<double, std::nano>(Clock::now() - start).count();
  adc.GetReference(value);
  for (const char *thread : {"te140", "e140sim"}) {
    const auto a = after.find(thread);
    const auto b = before.find(thread);
    if (a == after.end() || b == before.end()) continue;
    std::printf("%-8s thread CPU over %d s: %.3f %% of one core%s\n", thread, seconds,
                100.0 * (a->second - b->second) / wallNs,
                std::string(thread) == "te140" ? " (target < 1 %)" : " (simulated module)");
  }
  std::printf("last value %.5f V, %s\n", value, status.c_str());
}

}  // namespace

int main(int argc, char **argv) {
  const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
  processingTime();
  workerCpu(seconds);
  return 0;
}
