#include "platform/process.h"

#include <sys/types.h>
#include <unistd.h>
#include <cerrno>
#include <csignal>
#include <fstream>

#include <climits>

namespace platform {

uint32_t currentProcessId() {
  return static_cast<uint32_t>(::getpid());
}

bool processAlive(uint32_t pid) {
  if (pid == 0 || pid > static_cast<uint32_t>(INT_MAX)) return false;
  if (::kill(static_cast<pid_t>(pid), 0) != 0 && errno != EPERM) return false;
  // A killed process stays visible as a zombie until reaped; it holds nothing.
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string line;
  if (!std::getline(stat, line)) return true;
  const auto paren = line.rfind(')');
  if (paren == std::string::npos || paren + 2 >= line.size()) return true;
  const char state = line[paren + 2];
  return state != 'Z' && state != 'X';
}

std::string executablePath() {
  char buf[PATH_MAX];
  const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return {};
  return std::string(buf, static_cast<size_t>(n));
}

}  // namespace platform
