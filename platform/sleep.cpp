#include "platform/sleep.h"

#include <cerrno>
#include <ctime>

namespace platform {

int64_t monotonicNs() {
  timespec ts{};
  ::clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<int64_t>(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

void sleepUntilNs(int64_t deadlineNs) {
  timespec ts{};
  ts.tv_sec = static_cast<time_t>(deadlineNs / 1000000000);
  ts.tv_nsec = static_cast<long>(deadlineNs % 1000000000);
  while (::clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &ts, nullptr) == EINTR) {
  }
}

void sleepMs(uint32_t ms) {
  sleepUntilNs(monotonicNs() + static_cast<int64_t>(ms) * 1000000);
}

}  // namespace platform
