#include "platform/ipc_name.h"

#include <algorithm>
#include <cstdlib>

namespace platform {

std::string ipcName(std::string_view base) {
  std::string name = "/";
  name += base;
  if (const char *suffix = std::getenv("RK_IPC_SUFFIX")) {
    std::string s = suffix;
    std::replace(s.begin(), s.end(), '/', '_');
    name += s;
  }
  return name;
}

}  // namespace platform
