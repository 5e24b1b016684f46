// Names of the system-wide objects (shared memory, named mutexes).
#pragma once

#include <string>
#include <string_view>

namespace platform {

// The POSIX shared-memory name of a named object: "/" + base + the value of
// the environment variable RK_IPC_SUFFIX when it is set ('/' in it replaced
// by '_'). The suffix lets parallel test runs, or several developers on one
// machine, keep separate port tables and mutexes.
std::string ipcName(std::string_view base);

}  // namespace platform
