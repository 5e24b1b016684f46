#include "platform/port_map.h"

#include <strings.h>
#include <cstdlib>
#include <fstream>

namespace platform {
namespace {

std::string trim(const std::string &s) {
  const auto first = s.find_first_not_of(" \t\r");
  if (first == std::string::npos) return {};
  const auto last = s.find_last_not_of(" \t\r");
  return s.substr(first, last - first + 1);
}

std::string mapFilePath() {
  if (const char *p = std::getenv("RK_PORTS"); p != nullptr && *p != '\0') return p;
  if (const char *home = std::getenv("HOME"); home != nullptr && *home != '\0') {
    std::string user = std::string(home) + "/.config/rk/ports";
    if (std::ifstream(user).good()) return user;
  }
  return "/etc/rk/ports";
}

std::string fromMapFile(const std::string &name) {
  std::ifstream in(mapFilePath());
  std::string line;
  while (std::getline(in, line)) {
    line = trim(line);
    if (line.empty() || line[0] == '#') continue;
    const auto eq = line.find('=');
    if (eq == std::string::npos) continue;
    if (strcasecmp(trim(line.substr(0, eq)).c_str(), name.c_str()) == 0) {
      return trim(line.substr(eq + 1));
    }
  }
  return {};
}

}  // namespace

std::string comDevicePath(int com) {
  const std::string name = "COM" + std::to_string(com);
  if (const char *env = std::getenv(("RK_" + name).c_str()); env != nullptr && *env != '\0') {
    return env;
  }
  if (std::string mapped = fromMapFile(name); !mapped.empty()) return mapped;
  if (com >= 1 && com <= 4) return "/dev/ttyS" + std::to_string(com - 1);
  if (com >= 5 && com <= 12) return "/dev/ttyUSB" + std::to_string(com - 5);
  if (com >= 13 && com <= 16) return "/dev/ttyACM" + std::to_string(com - 13);
  return {};
}

}  // namespace platform
