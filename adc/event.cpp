#include "adc/event.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>

namespace adc {

Event::Event() : fd_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

Event::~Event() {
  if (fd_ >= 0) ::close(fd_);
}

void Event::signal() const {
  const uint64_t one = 1;
  // Only a counter at its maximum refuses, and then the event is set anyway.
  const ssize_t written = ::write(fd_, &one, sizeof one);
  static_cast<void>(written);
}

Wake waitFor(const Event *event, const Event &stop, int timeoutMs) {
  using Clock = std::chrono::steady_clock;
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  pollfd fds[2] = {{stop.fd(), POLLIN, 0}, {event != nullptr ? event->fd() : -1, POLLIN, 0}};
  for (;;) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    const int n = ::poll(fds, 2, left > 0 ? static_cast<int>(left) : 0);
    if (n < 0) {
      if (errno == EINTR) continue;
      return Wake::Failed;
    }
    if (fds[0].revents != 0) return Wake::Stopped;
    if (fds[1].revents != 0) {
      uint64_t count = 0;
      if (::read(fds[1].fd, &count, sizeof count) == sizeof count) return Wake::Signalled;
      if (errno == EAGAIN || errno == EINTR) continue;  // taken by nobody else; retry
      return Wake::Failed;
    }
    if (n == 0) return Wake::TimedOut;
  }
}

}  // namespace adc
