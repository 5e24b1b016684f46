// Shared pieces of the file-transfer tests: a private temporary directory
// (the library puts its receive files there), file helpers, and a scripted
// device that keeps files the way a sensor does.
#pragma once

#include <dirent.h>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include <unistd.h>
#include <algorithm>
#include <chrono>
#include <cstdlib>

#include "tests/support/pty_device.h"

namespace rktest {

using FileBytes = std::vector<uint8_t>;

inline FileBytes randomBytes(size_t n, unsigned seed = 1) {
  std::mt19937 gen(seed);
  FileBytes b(n);
  for (uint8_t &x : b)
    x = static_cast<uint8_t>(gen());
  return b;
}

inline void writeFile(const std::string &path, const FileBytes &bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char *>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

inline FileBytes readFile(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  FileBytes b;
  char c;
  while (in.get(c))
    b.push_back(static_cast<uint8_t>(c));
  return b;
}

inline bool fileExists(const std::string &path) {
  return ::access(path.c_str(), F_OK) == 0;
}

// A fresh directory that serves as $TMPDIR for the library while it lives.
class TempDir {
 public:
  TempDir() {
    std::string templ = "/tmp/rk-transfer-XXXXXX";
    path_ = ::mkdtemp(templ.data());
    ::setenv("TMPDIR", path_.c_str(), 1);
  }
  ~TempDir() {
    for (const std::string &n : entries())
      ::unlink((path_ + "/" + n).c_str());
    ::rmdir(path_.c_str());
    ::unsetenv("TMPDIR");
  }
  TempDir(const TempDir &) = delete;
  TempDir &operator=(const TempDir &) = delete;

  const std::string &path() const { return path_; }
  std::string file(const std::string &name) const { return path_ + "/" + name; }

  // Names in the directory that begin with prefix.
  std::vector<std::string> entries(const std::string &prefix = "") const {
    std::vector<std::string> names;
    if (DIR *d = ::opendir(path_.c_str())) {
      while (const dirent *e = ::readdir(d)) {
        const std::string n = e->d_name;
        if (n != "." && n != ".." && n.rfind(prefix, 0) == 0) names.push_back(n);
      }
      ::closedir(d);
    }
    return names;
  }

 private:
  std::string path_;
};

inline Bytes le32(uint32_t v) {
  return {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16),
          static_cast<uint8_t>(v >> 24)};
}
inline Bytes le16(uint32_t v) {
  return {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8)};
}

// The reply of a device at address 1 whose file requests all succeed: it
// acknowledges sends and deletes, and serves `served` (512 bytes a block) to
// receives and checksum queries; every reply after `delay`.
inline Reply fileDeviceReply(const Bytes &q, const FileBytes &served,
                             std::chrono::milliseconds delay = {}) {
  const auto size = static_cast<uint32_t>(served.size());
  Bytes r{1, q[1]};
  auto append = [&r](const Bytes &b) { r.insert(r.end(), b.begin(), b.end()); };
  switch (q[1]) {
    case 101:
      append(le32(size));
      break;
    case 102: {
      const uint32_t offset = q[2] | q[3] << 8 | q[4] << 16 | static_cast<uint32_t>(q[5]) << 24;
      const uint32_t n = std::min<uint32_t>(512, size - std::min(offset, size));
      append(le32(offset));
      append(le16(n));
      r.insert(r.end(), served.begin() + offset, served.begin() + offset + n);
      break;
    }
    case 103:
      append(le32(size));
      append(le16(modbusCrc(served.data(), served.size())));
      break;
    default:
      break;
  }
  return Reply::frame(r, delay);
}

}  // namespace rktest
