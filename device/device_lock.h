// The device lock: a binary semaphore that is not owned by a thread, so any
// thread may release it, and releasing a free lock is harmless.
#pragma once

#include <condition_variable>
#include <mutex>

namespace device {

class DeviceLock {
 public:
  // Waits without a time limit until the lock is free, then takes it.
  void acquire() {
    std::unique_lock<std::mutex> guard(m_);
    cv_.wait(guard, [this] { return free_; });
    free_ = false;
  }

  // Frees the lock; false when it was free already.
  bool release() {
    {
      std::lock_guard<std::mutex> guard(m_);
      if (free_) return false;
      free_ = true;
    }
    cv_.notify_one();
    return true;
  }

 private:
  std::mutex m_;
  std::condition_variable cv_;
  bool free_ = true;
};

}  // namespace device
