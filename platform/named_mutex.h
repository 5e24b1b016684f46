// Named mutexes shared by every process of the machine.
//
// Each mutex is a robust, recursive, process-shared pthread mutex in a
// shared-memory object of its own. It is owned by a thread and admits its
// owner again. When the owning thread or its process ends without releasing
// it, the next locker obtains it with the abandonment notice and the mutex is
// made consistent again. A thread that locks it while others wait lets one of
// them go first (for at most 2 ms), so that threads and processes sharing a
// port take turns request by request.
#pragma once

#include <cstdint>
#include <string>

#include "platform/shared_memory.h"

namespace platform {

enum class LockResult {
  Acquired,
  Abandoned,  // acquired; the previous owner ended while holding it
  TimedOut,   // another thread holds it
  Failed,
};

inline bool obtained(LockResult r) {
  return r == LockResult::Acquired || r == LockResult::Abandoned;
}

class NamedMutex {
 public:
  static constexpr int kInfinite = -1;

  NamedMutex() = default;
  NamedMutex(const NamedMutex &) = delete;
  NamedMutex &operator=(const NamedMutex &) = delete;

  // Opens, or creates race-free, the mutex called name (a shared-memory name
  // such as ipcName("RK_MUTEX_COM0")) without taking it. 0 or the system error.
  uint32_t open(const std::string &name);
  void close() { memory_.close(); }
  bool isOpen() const { return memory_.isOpen(); }

  // Waits at most timeoutMs (kInfinite: without limit; 0: does not wait).
  LockResult lock(int timeoutMs);
  void unlock();

  // How many threads of any process are waiting for it now (tests use it to
  // know that a process has reached its wait).
  uint32_t waiting() const;

 private:
  SharedMemory memory_;
};

}  // namespace platform
