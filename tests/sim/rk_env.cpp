// Gives every test process that uses librk.so a port table of its own.
//
// The library opens its shared table when it is loaded, before any code of the
// test runs, so RK_IPC_SUFFIX must be in the environment when the process
// starts. A test started without one sets it and runs itself again (same pid,
// so the suffix stays unique); the named objects go when the process exits.
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

std::string ownSuffix() {
  return ".sim." + std::to_string(getpid());
}

[[gnu::constructor]] void ownPortTable() {
  if (std::getenv("RK_IPC_SUFFIX") != nullptr) return;
  setenv("RK_IPC_SUFFIX", ownSuffix().c_str(), 1);
  std::string all;
  const int fd = open("/proc/self/cmdline", O_RDONLY | O_CLOEXEC);
  char buf[4096];
  for (ssize_t n; fd >= 0 && (n = read(fd, buf, sizeof buf)) > 0;)
    all.append(buf, size_t(n));
  if (fd >= 0) close(fd);
  std::vector<std::string> args;
  for (size_t at = 0; at < all.size();) {
    const size_t end = all.find('\0', at);
    args.push_back(all.substr(at, end - at));
    at = end == std::string::npos ? all.size() : end + 1;
  }
  std::vector<char *> argv;
  for (auto &a : args)
    argv.push_back(a.data());
  argv.push_back(nullptr);
  execv("/proc/self/exe", argv.data());
  // Could not run again: go on with the suffix for what is opened from now on.
}

[[gnu::destructor]] void removePortTable() {
  const char *suffix = std::getenv("RK_IPC_SUFFIX");
  if (suffix == nullptr || suffix != ownSuffix()) return;
  for (const std::string base : {"/RK_SHARED_COMS", "/TRANSFER_MUTEX_NAME"})
    shm_unlink((base + suffix).c_str());
  for (int i = 0; i < 16; ++i)
    shm_unlink(("/RK_MUTEX_COM" + std::to_string(i) + suffix).c_str());
}

}  // namespace
