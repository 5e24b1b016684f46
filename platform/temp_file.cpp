#include "platform/temp_file.h"

#include <fcntl.h>
#include <cstdlib>
#include <vector>

#include "platform/errors.h"

namespace platform {

std::string tempDirectory() {
  const char *dir = std::getenv("TMPDIR");
  std::string result = (dir != nullptr && *dir != '\0') ? dir : "/tmp";
  while (result.size() > 1 && result.back() == '/')
    result.pop_back();
  return result;
}

uint32_t createTempFile(std::string_view prefix, std::string &path, int &fd) {
  std::string name = tempDirectory() + "/";
  name += prefix;
  name += "XXXXXX";
  std::vector<char> buf(name.begin(), name.end());
  buf.push_back('\0');
  const int d = ::mkostemp(buf.data(), O_CLOEXEC);
  if (d < 0) return lastErrorCode();
  path.assign(buf.data());
  fd = d;
  return 0;
}

}  // namespace platform
