#include "tests/support/rk_test_env.h"

#include <link.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>

namespace rktest {
namespace {

std::string ownSuffix() {
  return ".test." + std::to_string(::getpid());
}

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
// loads a statically linked link library. A shared one is loaded before
// this: the program then starts again with the suffix in its environment,
// so that the library's port table is the run's own and not the one every
// other rk program of the machine shares. glibc hands constructors the
// program's arguments.
[[gnu::constructor(101)]] void chooseSuffix(int, char **argv, char **) {
  if (std::getenv("RK_IPC_SUFFIX") != nullptr) return;
  ::setenv("RK_IPC_SUFFIX", ownSuffix().c_str(), 1);
  if (sharedLinkLibraryLoaded()) {
    ::execv("/proc/self/exe", argv);
    std::abort();  // a test on the machine-wide table would depend on other programs
  }
}

// The run that chose the suffix removes its objects; child processes, which
// inherit it, leave them.
[[gnu::destructor(101)]] void removeObjects() {
  const std::string suffix = ipcSuffix();
  if (suffix != ownSuffix()) return;
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
