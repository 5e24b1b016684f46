#include "tests/support/rk_test_env.h"

#include <sys/mman.h>
#include <unistd.h>
#include <cstdlib>
#include <string>

namespace rktest {
namespace {

pid_t chooser = 0;

// Runs before the default-priority constructors, among them the one that
// loads a statically linked link library.
[[gnu::constructor(101)]] void chooseSuffix() {
  if (std::getenv("RK_IPC_SUFFIX") != nullptr) return;
  chooser = ::getpid();
  const std::string suffix = ".test." + std::to_string(chooser);
  ::setenv("RK_IPC_SUFFIX", suffix.c_str(), 1);
}

[[gnu::destructor(101)]] void removeObjects() {
  if (chooser != ::getpid()) return;
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
