#include "tests/support/rk_test_env.h"

#include <link.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>

namespace rktest {
namespace {

// The process that runs the test, as opposed to the helpers it starts: it
// removes the named objects of its suffix when it exits.
constexpr const char *kRootVariable = "RK_TEST_ROOT";
bool isRoot = false;

// True when the link library is in this process as librk.so: it opened its
// port table when it was loaded, before any constructor of the program ran.
bool sharedLinkLibraryLoaded() {
  const auto visit = [](dl_phdr_info *info, size_t, void *) -> int {
    const char *slash = std::strrchr(info->dlpi_name, '/');
    const char *name = slash != nullptr ? slash + 1 : info->dlpi_name;
    return std::strncmp(name, "librk.so", 8) == 0 ? 1 : 0;
  };
  return ::dl_iterate_phdr(visit, nullptr) != 0;
}

// Runs before the default-priority constructors, among them the one that
// loads a statically linked link library. CTest gives every test a suffix of
// its own; a test started by hand chooses one here. A shared librk.so has
// already opened its objects under the plain names: the program then starts
// again (same pid) with the suffix in its environment, so that its port
// table is the run's own and not the one every rk program of the machine
// shares. glibc hands constructors the program's arguments.
[[gnu::constructor(101)]] void chooseSuffix(int, char **argv, char **) {
  const std::string self = std::to_string(::getpid());
  if (std::getenv(kRootVariable) == nullptr) ::setenv(kRootVariable, self.c_str(), 1);
  isRoot = self == std::getenv(kRootVariable);
  if (std::getenv("RK_IPC_SUFFIX") != nullptr) return;
  ::setenv("RK_IPC_SUFFIX", (".test." + self).c_str(), 1);
  if (sharedLinkLibraryLoaded()) {
    ::execv("/proc/self/exe", argv);
    std::abort();  // a test on the machine-wide table would depend on other programs
  }
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
