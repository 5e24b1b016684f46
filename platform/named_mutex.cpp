#include "platform/named_mutex.h"

#include <pthread.h>
#include <atomic>
#include <cerrno>
#include <ctime>
#include <new>

namespace platform {
namespace {

// The object in shared memory: the mutex, and how many threads of any
// process are waiting for it.
struct SharedMutex {
  pthread_mutex_t mutex;
  std::atomic<uint32_t> waiting;
};
static_assert(std::atomic<uint32_t>::is_always_lock_free, "usable across processes");

// A mutex hands itself to whoever locks it first, and a thread that releases
// it and locks it again at once (one request after another of a file
// transfer) nearly always beats the waiter it woke. So a locker first gives
// way while others wait, until one of them has it. A waiter that died while
// waiting leaves the count high: giving way is therefore bounded.
constexpr int kGiveWayUs = 2000;
constexpr int kGiveWayStepUs = 100;

void giveWay(const std::atomic<uint32_t> &waiting) {
  const uint32_t before = waiting.load();
  if (before == 0) return;
  const timespec step{0, kGiveWayStepUs * 1000};
  for (int waited = 0; waited < kGiveWayUs && waiting.load() >= before; waited += kGiveWayStepUs) {
    nanosleep(&step, nullptr);
  }
}

void initialiseMutex(void *where) {
  auto *shared = new (where) SharedMutex;
  shared->waiting.store(0);
  pthread_mutexattr_t attr;
  pthread_mutexattr_init(&attr);
  pthread_mutexattr_setpshared(&attr, PTHREAD_PROCESS_SHARED);
  pthread_mutexattr_setrobust(&attr, PTHREAD_MUTEX_ROBUST);
  pthread_mutexattr_settype(&attr, PTHREAD_MUTEX_RECURSIVE);
  pthread_mutex_init(&shared->mutex, &attr);
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
// The deadline is on the monotonic clock: setting the system's date and
// time during a wait neither stretches nor cuts it.
int timedLock(pthread_mutex_t *m, int timeoutMs) {
  timespec deadline{};
  ::clock_gettime(CLOCK_MONOTONIC, &deadline);
  deadline.tv_sec += timeoutMs / 1000;
  deadline.tv_nsec += static_cast<long>(timeoutMs % 1000) * 1000000;
  if (deadline.tv_nsec >= 1000000000) {
    deadline.tv_sec += 1;
    deadline.tv_nsec -= 1000000000;
  }
  return pthread_mutex_clocklock(m, CLOCK_MONOTONIC, &deadline);
}
#endif

}  // namespace

uint32_t NamedMutex::open(const std::string &name) {
  return memory_.openOrCreate(name, sizeof(SharedMutex), initialiseMutex);
}

LockResult NamedMutex::lock(int timeoutMs) {
  auto *shared = static_cast<SharedMutex *>(memory_.data());
  if (shared == nullptr) return LockResult::Failed;
  pthread_mutex_t *m = &shared->mutex;
  int rc = 0;
  if (timeoutMs == 0) {
    rc = pthread_mutex_trylock(m);
  } else {
    giveWay(shared->waiting);
    rc = pthread_mutex_trylock(m);
    if (rc == EBUSY) {
      shared->waiting.fetch_add(1);
      rc = timeoutMs == kInfinite ? pthread_mutex_lock(m) : timedLock(m, timeoutMs);
      shared->waiting.fetch_sub(1);
    }
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

uint32_t NamedMutex::waiting() const {
  const auto *shared = static_cast<const SharedMutex *>(memory_.data());
  return shared == nullptr ? 0 : shared->waiting.load();
}

void NamedMutex::unlock() {
  if (auto *shared = static_cast<SharedMutex *>(memory_.data())) {
    pthread_mutex_unlock(&shared->mutex);
  }
}

}  // namespace platform
