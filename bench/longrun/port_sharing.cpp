// Long run: processes sharing one port through librk, some of them killed at
// random moments, each checking that every reply it accepts is its own.
//
// Worker w (a process of its own) owns holding register 1100 + w of the
// sensor. It writes (w << 12 | sequence) there and reads it back, over and
// over. A read that returns another worker's tag is a reply delivered to the
// wrong process (typically: a killed worker's request answered late and
// taken by the next process on the line). A read that returns an older value
// of its own after a write the library reported done means that write's
// reply was not its own either. Failed exchanges are counted, not judged:
// the rest must keep going.
//
// Usage: rk_port_sharing [--processes N] [--seconds S] [--kills K] [--respawn]
//                        [--com N] [--address A] [--poll MS] [--timeout MS] [--seed S]
//   defaults: 8 processes, 600 s, 2 kills, COM1, address 1, poll 5 ms, time-out 100 ms.
//   --respawn starts a new worker for each killed one (for runs with many kills).
// The port is named like any rk port (RK_COM<n>); RK_IPC_SUFFIX keeps the
// run's port table apart. Exit status 0 when no wrong reply was seen and no
// living worker stalled.
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "rk.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Options {
  int processes = 8;
  int seconds = 600;
  int kills = 2;
  bool respawn = false;
  int com = 1;
  int address = 1;
  int pollMs = 5;
  int timeoutMs = 100;
  uint64_t seed = 0;
};

constexpr uint32_t kFirstRegister = 1100;
constexpr int kMaxWorkers = 16;  // tags are 4 bits

// --- worker ---------------------------------------------------------------

int runWorker(const Options &o, int tag) {
  char id[64];
  std::snprintf(id, sizeof id, "rk.dll,%d,57600,%d,%d", o.com, o.pollMs, o.timeoutMs);
  uint8_t port = 0;
  if (uint32_t rc = RK_OpenIdStr(id, &port); rc != RK_OK) {
    std::printf("open %d %08X\n", tag, rc);
    return 1;
  }
  const uint32_t reg = kFirstRegister + static_cast<uint32_t>(tag);
  uint64_t ops = 0, failed = 0, foreign = 0, stale = 0;
  // What the register may hold now; unknown at first (an earlier worker of
  // this tag may have left anything there).
  bool known = false;
  std::set<uint16_t> possible;
  auto last = Clock::now();
  for (uint32_t seq = 0;; ++seq) {
    uint16_t value = static_cast<uint16_t>(tag << 12 | (seq & 0xFFF));
    const uint32_t wrote = RK_Exchange(port, static_cast<uint32_t>(o.address), 6, reg, 1, &value);
    ++ops;
    if (wrote == RK_OK) {
      possible = {value};
      known = true;
    } else {
      ++failed;
      possible.insert(value);  // a failed write may still have been done
    }

    uint16_t got = 0;
    const uint32_t read = RK_Exchange(port, static_cast<uint32_t>(o.address), 3, reg, 1, &got);
    ++ops;
    if (read != RK_OK) {
      ++failed;
    } else if (got >> 12 != tag) {
      ++foreign;
      std::printf("foreign %d %04X\n", tag, got);
    } else {
      if (known && !possible.contains(got)) {
        ++stale;
        std::printf("stale %d %04X\n", tag, got);
      }
      possible = {got};
      known = true;
    }
    if (Clock::now() - last >= std::chrono::seconds(1)) {
      last = Clock::now();
      std::printf("progress %d %" PRIu64 " %" PRIu64 " %" PRIu64 " %" PRIu64 "\n", tag, ops, failed,
                  foreign, stale);
      std::fflush(stdout);
    }
  }
}

// --- parent ---------------------------------------------------------------

struct Worker {
  pid_t pid = -1;
  int out = -1;
  std::string buffer;
  bool alive = true;
  Clock::time_point lastProgress = Clock::now();
  uint64_t ops = 0, failed = 0, foreign = 0, stale = 0;
};

pid_t startWorker(const char *self, const Options &o, int tag, int &out) {
  int fds[2];
  if (::pipe(fds) != 0) return -1;
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(fds[1], 1);
    ::close(fds[0]);
    ::close(fds[1]);
    const std::string t = std::to_string(tag);
    const std::string com = std::to_string(o.com), address = std::to_string(o.address),
                      poll = std::to_string(o.pollMs), timeout = std::to_string(o.timeoutMs);
    ::execl(self, self, "--worker", t.c_str(), "--com", com.c_str(), "--address", address.c_str(),
            "--poll", poll.c_str(), "--timeout", timeout.c_str(), static_cast<char *>(nullptr));
    ::_exit(127);
  }
  ::close(fds[1]);
  out = fds[0];
  return pid;
}

int runParent(const char *self, const Options &o) {
  std::mt19937_64 random(o.seed);
  std::map<int, Worker> workers;  // by tag
  const auto start = Clock::now();
  const auto end = start + std::chrono::seconds(o.seconds);
  const auto spawn = [&](int tag) {
    Worker w;
    w.pid = startWorker(self, o, tag, w.out);
    w.lastProgress = Clock::now();
    workers[tag] = std::move(w);
  };
  for (int tag = 0; tag < o.processes; ++tag)
    spawn(tag);

  // The kill moments, uniform over the middle of the run.
  std::vector<Clock::duration> killAt;
  std::uniform_real_distribution<double> moment(0.1, 0.9);
  for (int i = 0; i < o.kills; ++i) {
    killAt.push_back(std::chrono::duration_cast<Clock::duration>(
        std::chrono::duration<double>(moment(random) * o.seconds)));
  }
  std::sort(killAt.begin(), killAt.end());
  size_t nextKill = 0;

  const auto elapsed = [&] {
    return std::chrono::duration<double>(Clock::now() - start).count();
  };
  int stalls = 0;
  while (Clock::now() < end) {
    std::vector<pollfd> fds;
    std::vector<int> tags;
    for (auto &[tag, w] : workers) {
      if (w.alive && w.out >= 0) {
        fds.push_back({w.out, POLLIN, 0});
        tags.push_back(tag);
      }
    }
    ::poll(fds.data(), fds.size(), 200);
    for (size_t i = 0; i < fds.size(); ++i) {
      if ((fds[i].revents & (POLLIN | POLLHUP)) == 0) continue;
      Worker &w = workers[tags[i]];
      char buf[4096];
      const ssize_t n = ::read(w.out, buf, sizeof buf);
      if (n <= 0) continue;
      w.buffer.append(buf, static_cast<size_t>(n));
      for (size_t nl; (nl = w.buffer.find('\n')) != std::string::npos; w.buffer.erase(0, nl + 1)) {
        const std::string line = w.buffer.substr(0, nl);
        char kind[16] = {};
        int tag = 0;
        unsigned value = 0;
        uint64_t a = 0, b = 0, c = 0, d = 0;
        if (std::sscanf(line.c_str(), "progress %d %" SCNu64 " %" SCNu64 " %" SCNu64 " %" SCNu64, &tag,
                        &a, &b, &c, &d) == 5) {
          if (a > w.ops) w.lastProgress = Clock::now();
          w.ops = a, w.failed = b, w.foreign = c, w.stale = d;
        } else if (std::sscanf(line.c_str(), "%15s %d %x", kind, &tag, &value) == 3) {
          const int owner = static_cast<int>(value >> 12);
          char text[160];
          std::snprintf(text, sizeof text, "%7.1f s  worker %d: %s reply %04X (tag of worker %d%s)",
                        elapsed(), tag, kind, value, owner,
                        workers.contains(owner) && !workers[owner].alive ? ", killed" : "");
          std::printf("%s\n", text);
          std::fflush(stdout);
        } else {
          std::printf("worker %d: %s\n", tags[i], line.c_str());
        }
      }
    }
    // Kills.
    while (nextKill < killAt.size() && Clock::now() - start >= killAt[nextKill]) {
      ++nextKill;
      std::vector<int> alive;
      for (auto &[tag, w] : workers)
        if (w.alive) alive.push_back(tag);
      if (alive.size() <= 1) break;
      const int victim = alive[std::uniform_int_distribution<size_t>(0, alive.size() - 1)(random)];
      Worker &w = workers[victim];
      ::kill(w.pid, SIGKILL);
      ::waitpid(w.pid, nullptr, 0);
      w.alive = false;
      ::close(w.out);
      w.out = -1;
      char text[80];
      std::snprintf(text, sizeof text, "%7.1f s  worker %d killed", elapsed(), victim);
      std::printf("%s\n", text);
      std::fflush(stdout);
      if (o.respawn) {
        for (int tag = 0; tag < kMaxWorkers; ++tag) {
          if (!workers.contains(tag) || !workers[tag].alive) {
            if (tag == victim) continue;  // its late replies must stay recognisable
            spawn(tag);
            break;
          }
        }
      }
    }
    // Stalls: a living worker without progress for 10 s.
    for (auto &[tag, w] : workers) {
      if (w.alive && Clock::now() - w.lastProgress > std::chrono::seconds(10)) {
        ++stalls;
        std::printf("%7.1f s  worker %d: no progress for 10 s\n", elapsed(), tag);
        w.lastProgress = Clock::now();
      }
    }
  }

  // The end: every living worker is stopped; the numbers are its last report.
  uint64_t wrong = 0;
  std::printf("%6s %8s %12s %12s %8s %8s\n", "worker", "state", "exchanges", "failed", "foreign",
              "stale");
  for (auto &[tag, w] : workers) {
    if (w.alive) {
      ::kill(w.pid, SIGTERM);
      ::waitpid(w.pid, nullptr, 0);
      ::close(w.out);
    }
    wrong += w.foreign + w.stale;
    std::printf("%6d %8s %12" PRIu64 " %12" PRIu64 " %8" PRIu64 " %8" PRIu64 "\n", tag,
                w.alive ? "ran" : "killed", w.ops, w.failed, w.foreign, w.stale);
  }
  std::printf("wrong replies: %" PRIu64 ", stalls: %d, kills: %zu\n", wrong, stalls, nextKill);
  return wrong == 0 && stalls == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char **argv) {
  Options o;
  o.seed = static_cast<uint64_t>(Clock::now().time_since_epoch().count());
  int worker = -1;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    const char *v = i + 1 < argc ? argv[i + 1] : "0";
    if (a == "--respawn") {
      o.respawn = true;
      continue;
    }
    ++i;
    if (a == "--worker") worker = std::atoi(v);
    else if (a == "--processes") o.processes = std::clamp(std::atoi(v), 1, kMaxWorkers);
    else if (a == "--seconds") o.seconds = std::atoi(v);
    else if (a == "--kills") o.kills = std::atoi(v);
    else if (a == "--com") o.com = std::atoi(v);
    else if (a == "--address") o.address = std::atoi(v);
    else if (a == "--poll") o.pollMs = std::atoi(v);
    else if (a == "--timeout") o.timeoutMs = std::atoi(v);
    else if (a == "--seed") o.seed = std::strtoull(v, nullptr, 10);
    else {
      std::fprintf(stderr, "unknown option %s\n", a.c_str());
      return 2;
    }
  }
  if (worker >= 0) return runWorker(o, worker);
  std::printf("rk_port_sharing: %d processes on COM%d, %d s, %d kills%s, seed %" PRIu64 "\n",
              o.processes, o.com, o.seconds, o.kills, o.respawn ? " (respawned)" : "", o.seed);
  std::fflush(stdout);
  return runParent(argv[0], o);
}
