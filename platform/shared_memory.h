// Named shared memory, visible to every process of the machine.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include <sys/types.h>

namespace platform {

class SharedMemory {
 public:
  // Runs on the creator's mapping before any other process can open it.
  using Initialiser = std::function<void(void *)>;

  SharedMemory() = default;
  ~SharedMemory();
  SharedMemory(const SharedMemory &) = delete;
  SharedMemory &operator=(const SharedMemory &) = delete;

  // Opens the object called name (a POSIX shared-memory name, "/..."), or
  // creates it with size bytes, zero-filled, mode 0666, and runs init on it.
  // Creation is race-free: the object is built under a private name and
  // linked into place in one step, so no process ever sees it half made; of
  // two processes creating it at once, one wins and the other opens its
  // object. created tells which happened. Returns 0 or the system error.
  uint32_t openOrCreate(const std::string &name, size_t size, const Initialiser &init = {},
                        bool *created = nullptr);

  // Unmaps the object; a user mark of this process goes with it.
  void close();
  bool isOpen() const { return data_ != nullptr; }

  // Marks this process as a user of the open object (a shared lock on it,
  // held until close or the process ends, however it ends). Waits while the
  // last user removes the object's family. False when the name no longer
  // leads to this object (its last user removed it meanwhile): close and
  // open again.
  bool markUser();
  // In a child forked from a marked process: marks the child as a user of
  // its own. The descriptor it inherited shares the parent's open file, and
  // with it the parent's lock: the parent would count itself the sole user
  // and remove the object while the child still uses it. Only system
  // calls, so a fork handler may call it. False when the child stays
  // unmarked (it then never removes the object either).
  bool markForkedChild();
  // True when no other process is a user of the object (and this one, not
  // a child forked from it, marked itself). This process then
  // holds it alone until close, and may remove the names of its family
  // without pulling them from under anyone: a process that opens the
  // object meanwhile waits in markUser and finds it removed.
  bool soleUser();
  void *data() const { return data_; }
  size_t size() const { return size_; }

  // Removes the name (mappings stay valid). For tests and tools.
  static void unlink(const std::string &name);

 private:
  uint32_t tryOpenExisting(const std::string &name, size_t size, bool &missing);
  uint32_t tryCreate(const std::string &name, size_t size, const Initialiser &init, bool &lost);

  void *data_ = nullptr;
  size_t size_ = 0;
  int fd_ = -1;         // kept for the user mark
  pid_t markedBy_ = 0;  // the process that marked itself a user
};

}  // namespace platform
