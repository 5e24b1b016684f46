#include "table_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <random>

#include "platform/errors.h"

namespace device {

namespace {

// Creates a new file beside `target` with a unique name; -1 when it cannot.
std::filesystem::path directoryOf(const std::filesystem::path &target) {
  return target.has_parent_path() ? target.parent_path() : std::filesystem::path(".");
}

int createTemporary(const std::filesystem::path &target, std::string &tmpPath) {
  const std::filesystem::path dir = directoryOf(target);
  std::random_device seed;
  std::mt19937 gen(seed());
  for (int attempt = 0; attempt < 100; ++attempt) {
    char suffix[16];
    std::snprintf(suffix, sizeof suffix, ".%08x", static_cast<unsigned>(gen()));
    tmpPath = (dir / ("." + target.filename().string() + suffix)).string();
    // Created with 0666 less the umask, as a plain "wb" open would.
    const int fd = ::open(tmpPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

bool writeAll(int fd, const unsigned char *data, size_t size) {
  while (size > 0) {
    const ssize_t n = ::write(fd, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n == 0) errno = ENOSPC;  // no room, though the system gave no reason
    if (n <= 0) return false;
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

// Makes the rename itself survive a crash; a failure here loses nothing that
// the rename has not already made visible.
void syncDirectory(const std::filesystem::path &target) {
  const int fd = ::open(directoryOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

}  // namespace

int writeCoefficientFile(const std::string &path, const TableImage &image, int *error) {
  int ignored = 0;
  int &err = error ? *error : ignored;
  err = 0;
  const std::filesystem::path target(path);
  if (target.filename().empty()) {
    err = EISDIR;
    return -1;
  }

  std::string tmpPath;
  const int fd = createTemporary(target, tmpPath);
  if (fd < 0) {
    err = errno;
    return -1;
  }

  // A file that is replaced keeps its permissions.
  struct stat old {};
  if (::stat(path.c_str(), &old) == 0 && S_ISREG(old.st_mode)) ::fchmod(fd, old.st_mode & 07777);

  int result = 0;
  if (!writeAll(fd, reinterpret_cast<const unsigned char *>(&image), sizeof image)) {
    result = -2;
    err = errno;
  } else if (::fsync(fd) != 0) {
    result = -3;
    err = errno;
  }
  if (::close(fd) != 0 && result == 0) {
    result = -3;
    err = errno;
  }
  if (result == 0 && ::rename(tmpPath.c_str(), path.c_str()) != 0) {
    result = -1;
    err = errno;
  }
  if (result != 0) {
    ::unlink(tmpPath.c_str());
    return result;
  }
  syncDirectory(target);
  return 0;
}

std::string coefficientFileError(const std::string &path, int result, int error) {
  if (result == 0) return {};
  std::string why = platform::systemErrorText(platform::codeFromErrno(error));
  if (why.empty()) why = "код ошибки " + std::to_string(error);
  switch (result) {
    case -1:
      return "Не удалось создать файл коэффициентов " + path + ": " + why;
    case -2:
      return "Файл коэффициентов " + path + " записан не полностью: " + why;
    default:
      return "Не удалось закрыть файл коэффициентов " + path + ": " + why;
  }
}

}  // namespace device
