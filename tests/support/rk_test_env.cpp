#include "tests/support/rk_test_env.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>
#include <cstdlib>
#include <string>
#include <vector>

namespace rktest {
namespace {

// The process that runs the test, as opposed to the helpers it starts: it
// removes the named objects of its suffix when it exits.
constexpr const char *kRootVariable = "RK_TEST_ROOT";
bool isRoot = false;

// Runs this program again with the same arguments (and the same pid).
void runAgain() {
  std::string all;
  const int fd = ::open("/proc/self/cmdline", O_RDONLY | O_CLOEXEC);
  char buf[4096];
  for (ssize_t n; fd >= 0 && (n = ::read(fd, buf, sizeof buf)) > 0;) {
    all.append(buf, static_cast<size_t>(n));
  }
  if (fd >= 0) ::close(fd);
  std::vector<std::string> args;
  for (size_t at = 0; at < all.size();) {
    const size_t end = all.find('\0', at);
    args.push_back(all.substr(at, end - at));
    at = end == std::string::npos ? all.size() : end + 1;
  }
  std::vector<char *> argv;
  for (std::string &a : args)
    argv.push_back(a.data());
  argv.push_back(nullptr);
  ::execv("/proc/self/exe", argv.data());
}

// Runs before the default-priority constructors of the program, among them
// the one that loads a statically linked link library. CTest gives every
// test a suffix of its own; a test started by hand chooses one here and, as
// a dynamically linked librk.so has already opened its objects under the
// plain names, starts again with it.
[[gnu::constructor(101)]] void chooseSuffix() {
  const std::string self = std::to_string(::getpid());
  if (std::getenv(kRootVariable) == nullptr) ::setenv(kRootVariable, self.c_str(), 1);
  isRoot = self == std::getenv(kRootVariable);
  if (std::getenv("RK_IPC_SUFFIX") != nullptr) return;
  ::setenv("RK_IPC_SUFFIX", (".test." + self).c_str(), 1);
  runAgain();
}

[[gnu::destructor(101)]] void removeObjects() {
  if (!isRoot) return;
  const std::string suffix = ipcSuffix();
  ::shm_unlink(("/RK_SHARED_COMS" + suffix).c_str());
  ::shm_unlink(("/TRANSFER_MUTEX_NAME" + suffix).c_str());
  for (int i = 0; i < 16; ++i)
    ::shm_unlink(("/RK_MUTEX_COM" + std::to_string(i) + suffix).c_str());
}

}  // namespace

std::string ipcSuffix() {
  const char *s = std::getenv("RK_IPC_SUFFIX");
  return s != nullptr ? s : "";
}

void mapComPort(int com, const std::string &path) {
  ::setenv(("RK_COM" + std::to_string(com)).c_str(), path.c_str(), 1);
}

}  // namespace rktest

// Referenced by the link options of rk_test_support, so that this file (and
// its constructor) is part of every test that links the fixtures.
extern "C" void rk_test_env_anchor() {}
