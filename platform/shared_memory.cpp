#include "platform/shared_memory.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <atomic>
#include <cerrno>

#include "platform/errors.h"

namespace platform {
namespace {

constexpr const char *kShmDir = "/dev/shm";

void *mapFd(int fd, size_t size) {
  void *p = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
  return p == MAP_FAILED ? nullptr : p;
}

std::string privateName(const std::string &name) {
  static std::atomic<unsigned> counter{0};
  return name + ".new." + std::to_string(::getpid()) + "." + std::to_string(counter++);
}

// Removes the name unless another process has replaced the object meanwhile.
void removeIfStill(const std::string &name, ino_t inode) {
  struct stat st {};
  const std::string path = std::string(kShmDir) + name;
  if (::stat(path.c_str(), &st) == 0 && st.st_ino == inode) ::shm_unlink(name.c_str());
}

}  // namespace

SharedMemory::~SharedMemory() {
  close();
}

void SharedMemory::close() {
  if (data_ != nullptr) ::munmap(data_, size_);
  if (fd_ >= 0) ::close(fd_);
  data_ = nullptr;
  size_ = 0;
  fd_ = -1;
}

bool SharedMemory::markUser() {
  if (fd_ < 0) return false;
  int rc = 0;
  do {
    rc = ::flock(fd_, LOCK_SH);
  } while (rc != 0 && errno == EINTR);
  struct stat st {};
  if (rc != 0 || ::fstat(fd_, &st) != 0 || st.st_nlink == 0) return false;
  markedBy_ = ::getpid();
  return true;
}

bool SharedMemory::markForkedChild() {
  if (fd_ < 0 || markedBy_ == 0) return false;
  // A new open file of the very object the inherited descriptor holds; the
  // path is built by hand, as a fork handler should not format.
  char path[32] = "/proc/self/fd/";
  char digits[12];
  int n = 0;
  for (unsigned v = static_cast<unsigned>(fd_); n == 0 || v != 0; v /= 10)
    digits[n++] = static_cast<char>('0' + v % 10);
  size_t at = sizeof "/proc/self/fd/" - 1;
  while (n > 0)
    path[at++] = digits[--n];
  path[at] = '\0';
  const int fd = ::open(path, O_RDWR | O_CLOEXEC);
  if (fd < 0) return false;
  if (::flock(fd, LOCK_SH | LOCK_NB) != 0) {
    ::close(fd);
    return false;
  }
  ::close(fd_);  // the parent keeps its lock: it still has the open file
  fd_ = fd;
  markedBy_ = ::getpid();
  return true;
}

bool SharedMemory::soleUser() {
  // A process forked from the marking one shares its lock (one open file)
  // and would get it exclusively at once: it is no user of its own.
  return fd_ >= 0 && markedBy_ == ::getpid() && ::flock(fd_, LOCK_EX | LOCK_NB) == 0;
}

void SharedMemory::unlink(const std::string &name) {
  ::shm_unlink(name.c_str());
}

uint32_t SharedMemory::tryOpenExisting(const std::string &name, size_t size, bool &missing) {
  missing = false;
  const int fd = ::shm_open(name.c_str(), O_RDWR | O_CLOEXEC, 0);
  if (fd < 0) {
    missing = errno == ENOENT;
    return lastErrorCode();
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0) {
    const uint32_t rc = lastErrorCode();
    ::close(fd);
    return rc;
  }
  if (static_cast<size_t>(st.st_size) < size) {
    // Named objects outlive their processes here: one too small for us was
    // left by a version of another layout. It gives way to a new one.
    ::close(fd);
    removeIfStill(name, st.st_ino);
    missing = true;
    return kErrInvalidHandle;
  }
  data_ = mapFd(fd, size);
  const uint32_t rc = data_ != nullptr ? 0 : lastErrorCode();
  if (rc == 0) {
    size_ = size;
    fd_ = fd;
  } else {
    ::close(fd);
  }
  return rc;
}

uint32_t SharedMemory::tryCreate(const std::string &name, size_t size, const Initialiser &init,
                                 bool &lost) {
  lost = false;
  const std::string temp = privateName(name);
  const int fd = ::shm_open(temp.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) return lastErrorCode();
  uint32_t rc = 0;
  void *p = nullptr;
  if (::fchmod(fd, 0666) != 0 || ::ftruncate(fd, static_cast<off_t>(size)) != 0 ||
      (p = mapFd(fd, size)) == nullptr) {
    rc = lastErrorCode();
  }
  if (rc == 0) {
    if (init) init(p);
    const std::string from = std::string(kShmDir) + temp;
    const std::string to = std::string(kShmDir) + name;
    if (::link(from.c_str(), to.c_str()) != 0) {
      lost = errno == EEXIST;
      rc = lastErrorCode();
    }
  }
  ::shm_unlink(temp.c_str());
  if (rc != 0) {
    if (p != nullptr) ::munmap(p, size);
    ::close(fd);
    return rc;
  }
  data_ = p;
  size_ = size;
  fd_ = fd;
  return 0;
}

uint32_t SharedMemory::openOrCreate(const std::string &name, size_t size, const Initialiser &init,
                                    bool *created) {
  close();
  // Another process may remove the name between our two steps; a few rounds
  // settle every such race.
  for (int round = 0; round < 100; ++round) {
    bool missing = false;
    uint32_t rc = tryOpenExisting(name, size, missing);
    if (rc == 0) {
      if (created != nullptr) *created = false;
      return 0;
    }
    if (!missing) return rc;
    bool lost = false;
    rc = tryCreate(name, size, init, lost);
    if (rc == 0) {
      if (created != nullptr) *created = true;
      return 0;
    }
    if (!lost) return rc;
  }
  return kErrFileExists;
}

}  // namespace platform
