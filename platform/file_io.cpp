#include "platform/file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstdio>
#include <fstream>
#include <vector>

#include "platform/errors.h"

namespace platform {
namespace {

mode_t newFileMode() {
  // The umask read without changing it (umask() would race other threads).
  std::ifstream status("/proc/self/status");
  std::string line;
  mode_t mask = 022;
  while (std::getline(status, line)) {
    if (line.rfind("Umask:", 0) == 0) {
      mask = static_cast<mode_t>(std::stoul(line.substr(6), nullptr, 8));
      break;
    }
  }
  return 0666 & ~mask;
}

std::string directoryOf(const std::string &path) {
  const auto slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// Copies from into a new temporary file beside to; its path in out.
uint32_t copyBeside(const std::string &from, const std::string &to, std::string &out) {
  const int src = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
  if (src < 0) return lastErrorCode();
  std::string templ = directoryOf(to) + "/.RKXXXXXX";
  std::vector<char> name(templ.begin(), templ.end());
  name.push_back('\0');
  const int dst = ::mkostemp(name.data(), O_CLOEXEC);
  if (dst < 0) {
    const uint32_t rc = lastErrorCode();
    ::close(src);
    return rc;
  }
  out.assign(name.data());
  uint32_t rc = 0;
  char buf[65536];
  for (;;) {
    const ssize_t n = ::read(src, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) rc = lastErrorCode();
    if (n <= 0) break;
    if ((rc = writeAll(dst, buf, static_cast<size_t>(n))) != 0) break;
  }
  if (rc == 0 && ::fsync(dst) != 0) rc = lastErrorCode();
  ::close(src);
  if (::close(dst) != 0 && rc == 0) rc = lastErrorCode();
  if (rc != 0) ::unlink(out.c_str());
  return rc;
}

}  // namespace

uint32_t readAll(int fd, void *data, size_t size) {
  auto *p = static_cast<char *>(data);
  size_t done = 0;
  while (done < size) {
    const ssize_t n = ::read(fd, p + done, size - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return lastErrorCode();
    if (n == 0) return kErrHandleEof;
    done += static_cast<size_t>(n);
  }
  return 0;
}

uint32_t writeAll(int fd, const void *data, size_t size) {
  const auto *p = static_cast<const char *>(data);
  size_t done = 0;
  while (done < size) {
    const ssize_t n = ::write(fd, p + done, size - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return lastErrorCode();
    done += static_cast<size_t>(n);
  }
  return 0;
}

uint32_t replaceFile(const std::string &from, const std::string &to) {
  ::chmod(from.c_str(), newFileMode());
  if (::rename(from.c_str(), to.c_str()) == 0) return 0;
  if (errno != EXDEV) {
    const uint32_t rc = lastErrorCode();
    ::unlink(from.c_str());
    return rc;
  }
  std::string beside;
  uint32_t rc = copyBeside(from, to, beside);
  ::unlink(from.c_str());
  if (rc != 0) return rc;
  ::chmod(beside.c_str(), newFileMode());
  if (::rename(beside.c_str(), to.c_str()) != 0) {
    rc = lastErrorCode();
    ::unlink(beside.c_str());
  }
  return rc;
}

}  // namespace platform
