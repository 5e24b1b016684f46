#include "platform/named_mutex.h"

#include <pthread.h>
#include <cerrno>
#include <ctime>
#include <new>

namespace platform {
namespace {

void initialiseMutex(void *where) {
  pthread_mutexattr_t attr;
  pthread_mutexattr_init(&attr);
  pthread_mutexattr_setpshared(&attr, PTHREAD_PROCESS_SHARED);
  pthread_mutexattr_setrobust(&attr, PTHREAD_MUTEX_ROBUST);
  pthread_mutexattr_settype(&attr, PTHREAD_MUTEX_RECURSIVE);
  pthread_mutex_init(static_cast<pthread_mutex_t *>(where), &attr);
  pthread_mutexattr_destroy(&attr);
}

// ThreadSanitizer does not see a lock that pthread_mutex_timedlock obtains
// with EOWNERDEAD, and would then report its unlock. Under it, a timed wait
// polls with trylock, which it follows correctly.
#if defined(__SANITIZE_THREAD__)
int timedLock(pthread_mutex_t *m, int timeoutMs) {
  const timespec step{0, 1000000};
  for (int waited = 0;; ++waited) {
    const int rc = pthread_mutex_trylock(m);
    if (rc != EBUSY || waited >= timeoutMs) return rc == EBUSY ? ETIMEDOUT : rc;
    nanosleep(&step, nullptr);
  }
}
#else
timespec realtimeAfter(int ms) {
  timespec ts{};
  ::clock_gettime(CLOCK_REALTIME, &ts);
  ts.tv_sec += ms / 1000;
  ts.tv_nsec += static_cast<long>(ms % 1000) * 1000000;
  if (ts.tv_nsec >= 1000000000) {
    ts.tv_sec += 1;
    ts.tv_nsec -= 1000000000;
  }
  return ts;
}

int timedLock(pthread_mutex_t *m, int timeoutMs) {
  const timespec deadline = realtimeAfter(timeoutMs);
  return pthread_mutex_timedlock(m, &deadline);
}
#endif

}  // namespace

uint32_t NamedMutex::open(const std::string &name) {
  return memory_.openOrCreate(name, sizeof(pthread_mutex_t), initialiseMutex);
}

LockResult NamedMutex::lock(int timeoutMs) {
  auto *m = static_cast<pthread_mutex_t *>(memory_.data());
  if (m == nullptr) return LockResult::Failed;
  int rc = 0;
  if (timeoutMs == kInfinite) {
    rc = pthread_mutex_lock(m);
  } else if (timeoutMs == 0) {
    rc = pthread_mutex_trylock(m);
  } else {
    rc = timedLock(m, timeoutMs);
  }
  switch (rc) {
    case 0:
      return LockResult::Acquired;
    case EOWNERDEAD:
      pthread_mutex_consistent(m);
      return LockResult::Abandoned;
    case EBUSY:
    case ETIMEDOUT:
      return LockResult::TimedOut;
    default:
      return LockResult::Failed;
  }
}

void NamedMutex::unlock() {
  if (auto *m = static_cast<pthread_mutex_t *>(memory_.data())) pthread_mutex_unlock(m);
}

}  // namespace platform
