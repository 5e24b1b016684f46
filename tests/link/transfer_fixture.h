// Shared pieces of the file-transfer tests: a private temporary directory
// (the library puts its receive files there) and file helpers.
#pragma once

#include <dirent.h>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include <unistd.h>
#include <cstdlib>

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

}  // namespace rktest
