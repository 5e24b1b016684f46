// Time to send a file to the simulated sensor on its paced line, beside
//   the line-time floor: every frame byte, both ways, at 10 bits a byte;
//   the schedule the transaction implies: a request ends one poll interval
//   after the poll that first sees its whole reply, so each request takes
//   (ceil(on the line until the reply is complete / PollInterval) + 1)
//   intervals, the line time counting request, the sensor's end-of-frame
//   silence and reaction, and the reply.
// Usage: link_transfer_bench [baud ...]   (default 57600 9600)
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/sleep.h"
#include "qvzsim.h"
#include "rk.h"
#include "tests/link/transfer_fixture.h"
#include "tests/support/rk_blocks.h"
#include "tests/support/rk_test_env.h"

namespace {

constexpr double kReactionMs = 3.0;  // qvzsim's default
constexpr uint32_t kReplyBytes = 4;  // address, function, CRC

double byteMs(uint32_t baud) {
  return 10.0 * 1000.0 / baud;
}

struct Plan {
  double floorMs = 0;
  double scheduleMs = 0;
};

void addRequest(Plan &p, uint32_t requestBytes, uint32_t baud, uint32_t poll) {
  const double silenceMs = std::max(1.75, 3.5 * byteMs(baud));
  const double lineMs = (requestBytes + kReplyBytes) * byteMs(baud);
  p.floorMs += lineMs;
  p.scheduleMs += (std::ceil((lineMs + silenceMs + kReactionMs) / poll) + 1) * poll;
}

Plan plan(uint32_t size, const std::string &name, const RkParamBlock &b, uint32_t baud) {
  Plan p;
  addRequest(p, 8 + static_cast<uint32_t>(name.size()) + 1 + 2, baud, b.PollInterval);
  uint32_t done = 0;
  do {
    const uint32_t block = std::min(b.FileBlockSize, size - done);
    addRequest(p, 8 + block + 2, baud, b.PollInterval);
    done += block;
  } while (done < size);
  return p;
}

}  // namespace

int main(int argc, char **argv) {
  std::vector<uint32_t> speeds;
  for (int i = 1; i < argc; ++i)
    speeds.push_back(static_cast<uint32_t>(std::atoi(argv[i])));
  if (speeds.empty()) speeds = {57600, 9600};
  rktest::TempDir tmp;

  std::printf("%-7s %-14s %7s %12s %12s %12s %9s\n", "baud", "file", "bytes", "floor ms",
              "schedule ms", "measured ms", "vs sched");
  for (const uint32_t baud : speeds) {
    qvzsim::Line line;
    if (!line.start()) return std::fprintf(stderr, "%s\n", line.error().c_str()), 1;
    qvzsim::SensorOptions options;
    options.baud = baud;
    if (!line.addSensor(options)) return std::fprintf(stderr, "%s\n", line.error().c_str()), 1;
    rktest::mapComPort(1, line.slavePath());
    RkParamBlock b = rktest::defaultBlock();
    b.BaudRate = baud;
    if (RK_Open(0, &b) != RK_OK) return std::fprintf(stderr, "cannot open\n"), 1;

    for (const auto &[name, size] :
         {std::pair<std::string, uint32_t>{"table.bin", 6144}, {"image.bin", 48 * 1024}}) {
      const std::string local = tmp.file("send.bin");
      rktest::writeFile(local, rktest::randomBytes(size));
      const int64_t t0 = platform::monotonicNs();
      const uint32_t rc = RK_SendFile(0, 1, nullptr, name.c_str(), local.c_str());
      const double ms = (platform::monotonicNs() - t0) / 1e6;
      const Plan p = plan(size, name, b, baud);
      if (rc != RK_OK) std::printf("(send failed: %08X)\n", rc);
      std::printf("%-7u %-14s %7u %12.0f %12.0f %12.0f %+8.1f%%\n", baud, name.c_str(), size,
                  p.floorMs, p.scheduleMs, ms, 100.0 * (ms - p.scheduleMs) / p.scheduleMs);
      std::fflush(stdout);
    }
    RK_Close(0);
  }
  std::printf("target: within 10 %% of the schedule (default PollInterval, 50 ms)\n");
  return 0;
}
