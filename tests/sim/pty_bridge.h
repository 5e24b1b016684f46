// Two pseudo-terminals joined like the ends of a null-modem cable: what one
// program writes to one slave side, the program on the other reads. Lets two
// programs that each want a serial device path talk to each other.
#ifndef TESTS_SIM_PTY_BRIDGE_H
#define TESTS_SIM_PTY_BRIDGE_H

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <termios.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <thread>

namespace simtest {

class PtyBridge {
 public:
  PtyBridge() {
    for (End &e : ends_) {
      e.master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
      if (e.master < 0 || grantpt(e.master) != 0 || unlockpt(e.master) != 0) return;
      char name[128];
      if (ptsname_r(e.master, name, sizeof name) != 0) return;
      e.path = name;
      // Kept open so the masters never see a hang-up between the programs' opens.
      e.slave = open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
      termios t{};
      tcgetattr(e.slave, &t);
      cfmakeraw(&t);
      tcsetattr(e.slave, TCSANOW, &t);
      fcntl(e.master, F_SETFL, O_NONBLOCK);
    }
    stop_ = eventfd(0, EFD_CLOEXEC);
    thread_ = std::thread([this] { run(); });
  }
  ~PtyBridge() {
    const uint64_t one = 1;
    [[maybe_unused]] auto n = write(stop_, &one, sizeof one);
    if (thread_.joinable()) thread_.join();
    for (End &e : ends_) {
      if (e.slave >= 0) close(e.slave);
      if (e.master >= 0) close(e.master);
    }
    close(stop_);
  }
  PtyBridge(const PtyBridge &) = delete;
  PtyBridge &operator=(const PtyBridge &) = delete;

  const std::string &path(int end) const { return ends_[end].path; }

 private:
  struct End {
    int master = -1, slave = -1;
    std::string path;
  };

  void run() {
    for (;;) {
      pollfd fds[3] = {
          {ends_[0].master, POLLIN, 0}, {ends_[1].master, POLLIN, 0}, {stop_, POLLIN, 0}};
      if (poll(fds, 3, -1) < 0) continue;
      if (fds[2].revents) return;
      for (int i = 0; i < 2; ++i) {
        if (!(fds[i].revents & POLLIN)) continue;
        char buf[4096];
        const ssize_t n = read(ends_[i].master, buf, sizeof buf);
        for (ssize_t done = 0; n > 0 && done < n;) {
          const ssize_t w = write(ends_[1 - i].master, buf + done, size_t(n - done));
          if (w <= 0) break;
          done += w;
        }
      }
    }
  }

  End ends_[2];
  int stop_ = -1;
  std::thread thread_;
};

}  // namespace simtest

#endif
