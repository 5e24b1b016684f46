// Long run: processes sharing one port through librk, some of them killed at
// random moments, each checking that every reply it accepts is its own.
//
// Every process has an id of its own (never reused in a run) and a slot; the
// slot owns holding registers 1100 + 2 slot and the next one of the sensor.
// The process writes (id, sequence) there with function 16 and reads the
// pair back with function 3, over and over. A read that returns another id
// ("foreign") is a reply delivered to the wrong process, typically a killed
// process's request answered late and taken by the next process on the line.
// A read that returns an older sequence after a write the library reported
// done ("stale") means that write's reply was not its own either: another
// process's echo was taken for it while its own request was lost. Failed
// exchanges are counted, not judged: the rest must keep going.
//
// Usage: rk_port_sharing [--processes N] [--seconds S] [--kills K] [--respawn]
//                        [--com N] [--address A] [--poll MS] [--timeout MS] [--seed S]
//   defaults: 8 processes, 600 s, 2 kills, COM1, address 1, poll 5 ms, time-out 100 ms.
//   --respawn starts a new process in the slot of each killed one (for runs
//   with many kills).
// The port is named like any rk port (RK_COM<n>); RK_IPC_SUFFIX keeps the
// run's port table apart. Exit status 0 when no wrong reply was seen and no
// living process stalled.
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
constexpr int kMaxSlots = 16;

// --- worker ---------------------------------------------------------------

int runWorker(const Options &o, int slot, uint16_t id) {
  char idStr[64];
  std::snprintf(idStr, sizeof idStr, "rk.dll,%d,57600,%d,%d", o.com, o.pollMs, o.timeoutMs);
  uint8_t port = 0;
  if (uint32_t rc = RK_OpenIdStr(idStr, &port); rc != RK_OK) {
    std::printf("open %u %08X\n", id, rc);
    return 1;
  }
  const auto address = static_cast<uint32_t>(o.address);
  const uint32_t reg = kFirstRegister + 2 * static_cast<uint32_t>(slot);
  uint64_t ops = 0, failed = 0, foreign = 0, stale = 0;
  // Sequences the pair may hold now; unknown at first (an earlier process
  // of the slot left its own there).
  bool known = false;
  std::set<uint16_t> possible;
  auto last = Clock::now();
  for (uint16_t seq = 0;; ++seq) {
    uint16_t out[2] = {id, seq};
    const uint32_t wrote = RK_Exchange(port, address, 16, reg, 2, out);
    ++ops;
    if (wrote == RK_OK) {
      possible = {seq};
      known = true;
    } else {
      ++failed;
      possible.insert(seq);  // a failed write may still have been done
    }

    uint16_t in[2] = {0, 0};
    const uint32_t read = RK_Exchange(port, address, 3, reg, 2, in);
    ++ops;
    if (read != RK_OK) {
      ++failed;
    } else if (in[0] != id) {
      ++foreign;
      std::printf("foreign %u %u\n", id, in[0]);
      std::fflush(stdout);
    } else {
      if (known && !possible.contains(in[1])) {
        ++stale;
        std::printf("stale %u %u\n", id, in[1]);
        std::fflush(stdout);
      }
      possible = {in[1]};
      known = true;
    }
    if (Clock::now() - last >= std::chrono::seconds(1)) {
      last = Clock::now();
      std::printf("progress %u %" PRIu64 " %" PRIu64 " %" PRIu64 " %" PRIu64 "\n", id, ops, failed,
                  foreign, stale);
      std::fflush(stdout);
    }
  }
}

// --- parent ---------------------------------------------------------------

struct Process {
  uint16_t id = 0;
  int slot = 0;
  pid_t pid = -1;
  int out = -1;
  std::string buffer;
  bool alive = true;
  Clock::time_point lastProgress;
  Clock::time_point killedAt;
  uint64_t ops = 0, failed = 0, foreign = 0, stale = 0;
};

pid_t startWorker(const char *self, const Options &o, int slot, uint16_t id, int &out) {
  int fds[2];
  if (::pipe(fds) != 0) return -1;
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(fds[1], 1);
    ::close(fds[0]);
    ::close(fds[1]);
    const std::string args[] = {std::to_string(slot),     std::to_string(id),
                                std::to_string(o.com),    std::to_string(o.address),
                                std::to_string(o.pollMs), std::to_string(o.timeoutMs)};
    ::execl(self, self, "--worker", args[0].c_str(), "--id", args[1].c_str(), "--com",
            args[2].c_str(), "--address", args[3].c_str(), "--poll", args[4].c_str(), "--timeout",
            args[5].c_str(), static_cast<char *>(nullptr));
    ::_exit(127);
  }
  ::close(fds[1]);
  out = fds[0];
  return pid;
}

class Parent {
 public:
  Parent(const char *self, const Options &o) : self_(self), o_(o), random_(o.seed) {}

  int run() {
    for (int slot = 0; slot < o_.processes; ++slot)
      spawn(slot);
    std::vector<Clock::duration> killAt;  // uniform over the middle of the run
    std::uniform_real_distribution<double> moment(0.1, 0.9);
    for (int i = 0; i < o_.kills; ++i) {
      killAt.push_back(std::chrono::duration_cast<Clock::duration>(
          std::chrono::duration<double>(moment(random_) * o_.seconds)));
    }
    std::sort(killAt.begin(), killAt.end());
    size_t kills = 0;
    const auto end = start_ + std::chrono::seconds(o_.seconds);
    while (Clock::now() < end) {
      readReports();
      while (kills < killAt.size() && Clock::now() - start_ >= killAt[kills]) {
        ++kills;
        killOne();
      }
      for (Process &p : procs_) {
        if (p.alive && Clock::now() - p.lastProgress > std::chrono::seconds(10)) {
          ++stalls_;
          std::printf("%7.1f s  process %u: no progress for 10 s\n", elapsed(), p.id);
          p.lastProgress = Clock::now();
        }
      }
    }
    return report(kills);
  }

 private:
  double elapsed() const { return std::chrono::duration<double>(Clock::now() - start_).count(); }

  void spawn(int slot) {
    Process p;
    p.id = nextId_++;
    p.slot = slot;
    p.pid = startWorker(self_, o_, slot, p.id, p.out);
    p.lastProgress = Clock::now();
    procs_.push_back(std::move(p));
  }

  Process *byId(unsigned id) {
    for (Process &p : procs_)
      if (p.id == id) return &p;
    return nullptr;
  }

  void killOne() {
    std::vector<Process *> alive;
    for (Process &p : procs_)
      if (p.alive) alive.push_back(&p);
    if (alive.size() <= 1) return;
    Process &victim = *alive[std::uniform_int_distribution<size_t>(0, alive.size() - 1)(random_)];
    ::kill(victim.pid, SIGKILL);
    ::waitpid(victim.pid, nullptr, 0);
    victim.alive = false;
    victim.killedAt = Clock::now();
    ::close(victim.out);
    victim.out = -1;
    std::printf("%7.1f s  process %u (slot %d) killed\n", elapsed(), victim.id, victim.slot);
    std::fflush(stdout);
    if (o_.respawn) spawn(victim.slot);
  }

  void readReports() {
    std::vector<pollfd> fds;
    std::vector<size_t> which;
    for (size_t i = 0; i < procs_.size(); ++i) {
      if (procs_[i].alive) {
        fds.push_back({procs_[i].out, POLLIN, 0});
        which.push_back(i);
      }
    }
    ::poll(fds.data(), fds.size(), 200);
    for (size_t k = 0; k < fds.size(); ++k) {
      if ((fds[k].revents & (POLLIN | POLLHUP)) == 0) continue;
      Process &p = procs_[which[k]];
      char buf[4096];
      const ssize_t n = ::read(p.out, buf, sizeof buf);
      if (n <= 0) continue;
      p.buffer.append(buf, static_cast<size_t>(n));
      for (size_t nl; (nl = p.buffer.find('\n')) != std::string::npos; p.buffer.erase(0, nl + 1))
        line(p, p.buffer.substr(0, nl));
    }
  }

  void line(Process &p, const std::string &text) {
    char kind[16] = {};
    unsigned id = 0, other = 0;
    uint64_t a = 0, b = 0, c = 0, d = 0;
    if (std::sscanf(text.c_str(), "progress %u %" SCNu64 " %" SCNu64 " %" SCNu64 " %" SCNu64, &id,
                    &a, &b, &c, &d) == 5) {
      if (a > p.ops) p.lastProgress = Clock::now();
      p.ops = a, p.failed = b, p.foreign = c, p.stale = d;
    } else if (std::sscanf(text.c_str(), "%15s %u %u", kind, &id, &other) == 3 &&
               std::strcmp(kind, "foreign") == 0) {
      const Process *owner = byId(other);
      char whose[96] = "no process of this run";
      if (owner != nullptr && !owner->alive) {
        std::snprintf(whose, sizeof whose, "process %u, killed %.3f s before", other,
                      std::chrono::duration<double>(Clock::now() - owner->killedAt).count());
      } else if (owner != nullptr) {
        std::snprintf(whose, sizeof whose, "process %u, alive", other);
      }
      std::printf("%7.1f s  process %u (slot %d): FOREIGN reply, written by %s\n", elapsed(), id,
                  p.slot, whose);
    } else if (std::strcmp(kind, "stale") == 0) {
      std::printf("%7.1f s  process %u (slot %d): STALE: a write reported done did not happen\n",
                  elapsed(), id, p.slot);
    } else {
      std::printf("%7.1f s  process %u: %s\n", elapsed(), p.id, text.c_str());
    }
    std::fflush(stdout);
  }

  int report(size_t kills) {
    uint64_t wrong = 0, exchanges = 0, failed = 0;
    std::printf("%7s %5s %7s %10s %8s %8s %6s\n", "process", "slot", "state", "exchanges", "failed",
                "foreign", "stale");
    for (Process &p : procs_) {
      if (p.alive) {
        ::kill(p.pid, SIGKILL);
        ::waitpid(p.pid, nullptr, 0);
        ::close(p.out);
      }
      wrong += p.foreign + p.stale;
      exchanges += p.ops;
      failed += p.failed;
      std::printf("%7u %5d %7s %10" PRIu64 " %8" PRIu64 " %8" PRIu64 " %6" PRIu64 "\n", p.id,
                  p.slot, p.alive ? "ran" : "killed", p.ops, p.failed, p.foreign, p.stale);
    }
    std::printf("exchanges %" PRIu64 ", failed %" PRIu64 ", wrong replies %" PRIu64
                ", stalls %d, kills %zu\n",
                exchanges, failed, wrong, stalls_, kills);
    return wrong == 0 && stalls_ == 0 ? 0 : 1;
  }

  const char *self_;
  Options o_;
  std::mt19937_64 random_;
  const Clock::time_point start_ = Clock::now();
  std::vector<Process> procs_;
  uint16_t nextId_ = 1;
  int stalls_ = 0;
};

}  // namespace

int main(int argc, char **argv) {
  Options o;
  o.seed = static_cast<uint64_t>(Clock::now().time_since_epoch().count());
  int slot = -1;
  int id = 0;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--respawn") {
      o.respawn = true;
      continue;
    }
    const char *v = i + 1 < argc ? argv[++i] : "0";
    if (a == "--worker")
      slot = std::atoi(v);
    else if (a == "--id")
      id = std::atoi(v);
    else if (a == "--processes")
      o.processes = std::clamp(std::atoi(v), 1, kMaxSlots);
    else if (a == "--seconds")
      o.seconds = std::atoi(v);
    else if (a == "--kills")
      o.kills = std::atoi(v);
    else if (a == "--com")
      o.com = std::atoi(v);
    else if (a == "--address")
      o.address = std::atoi(v);
    else if (a == "--poll")
      o.pollMs = std::atoi(v);
    else if (a == "--timeout")
      o.timeoutMs = std::atoi(v);
    else if (a == "--seed")
      o.seed = std::strtoull(v, nullptr, 10);
    else {
      std::fprintf(stderr, "unknown option %s\n", a.c_str());
      return 2;
    }
  }
  if (slot >= 0) return runWorker(o, slot, static_cast<uint16_t>(id));
  std::printf("rk_port_sharing: %d processes on COM%d, %d s, %d kills%s, seed %" PRIu64 "\n",
              o.processes, o.com, o.seconds, o.kills, o.respawn ? " (respawned)" : "", o.seed);
  std::fflush(stdout);
  return Parent(argv[0], o).run();
}
