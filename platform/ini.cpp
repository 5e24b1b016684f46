// INI access with the private-profile rules. A file is held as its lines, each
// with its own line end, so that a write changes exactly one line (or inserts
// one or two) and every other byte of the file stays as it was.
#include "platform/ini.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace platform {
namespace {

constexpr std::string_view kBom = "\xEF\xBB\xBF";

bool isBlank(char c) {
  return c == ' ' || c == '\t';
}

std::string_view trim(std::string_view s) {
  while (!s.empty() && isBlank(s.front()))
    s.remove_prefix(1);
  while (!s.empty() && isBlank(s.back()))
    s.remove_suffix(1);
  return s;
}

char lowerAscii(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool equalNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (lowerAscii(a[i]) != lowerAscii(b[i])) return false;
  }
  return true;
}

struct Line {
  std::string text;  // without its line end
  std::string eol;   // "\n", "\r\n" or "" for a last line without one
};

struct IniText {
  bool bom = false;
  std::vector<Line> lines;
  std::string eol = "\n";  // line end for new lines: the file's own first one
};

// What a line is to the reader. Comments (';' or '#') and lines without '='
// outside a section header are neither sections nor keys.
struct LineKind {
  enum { Other, Section, Key } kind = Other;
  std::string_view name;
  std::string_view value;
  size_t valueStart = 0;  // offset in the line where the value's text begins
};

LineKind classify(std::string_view line) {
  LineKind k;
  const std::string_view t = trim(line);
  if (t.empty() || t.front() == ';' || t.front() == '#') return k;
  if (t.front() == '[') {
    const size_t close = t.find(']');
    if (close == std::string_view::npos) return k;
    k.kind = LineKind::Section;
    k.name = trim(t.substr(1, close - 1));
    return k;
  }
  const size_t eq = line.find('=');
  if (eq == std::string_view::npos) return k;
  k.kind = LineKind::Key;
  k.name = trim(line.substr(0, eq));
  size_t start = eq + 1;
  while (start < line.size() && isBlank(line[start]))
    ++start;
  k.valueStart = start;
  k.value = trim(line.substr(start));
  return k;
}

// The file's bytes; nullopt with errno set when it cannot be read whole
// (ENOENT: there is no such file). Anything but a regular file reads as empty.
std::optional<std::string> readFile(const std::string &path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  std::string data;
  struct stat st {};
  bool ok = ::fstat(fd, &st) == 0;
  if (ok && S_ISREG(st.st_mode)) {
    char buf[8192];
    for (;;) {
      const ssize_t n = ::read(fd, buf, sizeof buf);
      if (n > 0) {
        data.append(buf, static_cast<size_t>(n));
      } else if (n == 0) {
        break;
      } else if (errno != EINTR) {
        ok = false;
        break;
      }
    }
  }
  const int error = errno;
  ::close(fd);
  if (!ok) {
    errno = error;
    return std::nullopt;
  }
  return data;
}

IniText parse(std::string_view data) {
  IniText ini;
  if (data.starts_with(kBom)) {
    ini.bom = true;
    data.remove_prefix(kBom.size());
  }
  bool eolSeen = false;
  while (!data.empty()) {
    const size_t nl = data.find('\n');
    Line line;
    if (nl == std::string_view::npos) {
      line.text = data;
      data = {};
    } else {
      line.text = data.substr(0, nl);
      line.eol = "\n";
      data.remove_prefix(nl + 1);
      if (!line.text.empty() && line.text.back() == '\r') {
        line.text.pop_back();
        line.eol = "\r\n";
      }
      if (!eolSeen) ini.eol = line.eol;
      eolSeen = true;
    }
    ini.lines.push_back(std::move(line));
  }
  return ini;
}

std::string serialize(const IniText &ini) {
  std::string out;
  if (ini.bom) out.append(kBom);
  for (const Line &l : ini.lines) {
    out.append(l.text);
    out.append(l.eol);
  }
  return out;
}

// Index of the first line holding key in (any occurrence of) section.
std::optional<size_t> findKey(const IniText &ini, std::string_view section, std::string_view key) {
  bool inSection = false;
  for (size_t i = 0; i < ini.lines.size(); ++i) {
    const LineKind k = classify(ini.lines[i].text);
    if (k.kind == LineKind::Section) {
      inSection = equalNoCase(k.name, section);
    } else if (inSection && k.kind == LineKind::Key && equalNoCase(k.name, key)) {
      return i;
    }
  }
  return std::nullopt;
}

// Where a new key of section goes: after the section's last key (or its
// header), so that comments and blank lines ahead of the next section stay
// with it. Nullopt when the file has no such section.
std::optional<size_t> insertionPoint(const IniText &ini, std::string_view section) {
  std::optional<size_t> at;
  bool inSection = false;
  for (size_t i = 0; i < ini.lines.size(); ++i) {
    const LineKind k = classify(ini.lines[i].text);
    if (k.kind == LineKind::Section) {
      if (at) break;  // the first matching section takes new keys
      inSection = equalNoCase(k.name, section);
      if (inSection) at = i + 1;
    } else if (inSection && k.kind == LineKind::Key) {
      at = i + 1;
    }
  }
  return at;
}

bool hasLineBreak(std::string_view s) {
  return s.find_first_of("\r\n") != std::string_view::npos;
}

bool validSection(std::string_view section) {
  const std::string_view t = trim(section);
  return !t.empty() && !hasLineBreak(t) && t.find(']') == std::string_view::npos;
}

bool validKey(std::string_view key) {
  const std::string_view t = trim(key);
  return !t.empty() && !hasLineBreak(t) && t.find('=') == std::string_view::npos &&
         t.front() != '[' && t.front() != ';' && t.front() != '#';
}

bool writeAll(int fd, std::string_view data) {
  while (!data.empty()) {
    const ssize_t n = ::write(fd, data.data(), data.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

// The file a write replaces: a symbolic link is followed, so the link stays.
std::string resolveTarget(const std::string &path) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
    if (char *real = ::realpath(path.c_str(), nullptr)) {
      std::string r(real);
      std::free(real);
      return r;
    }
  }
  return path;
}

// Replaces the file at path with data: a temporary file in the same
// directory is written, flushed to disk and renamed over the old one, so a
// reader or a crash sees either the old or the new file, never a mixture.
bool replaceFile(const std::string &path, std::string_view data) {
  const std::string target = resolveTarget(path);
  const size_t slash = target.rfind('/');
  const std::string prefix = slash == std::string::npos ? "" : target.substr(0, slash + 1);
  const std::string base = target.substr(prefix.size());
  const std::string dir = prefix.empty() ? "." : prefix;

  struct stat old {};
  const bool existed = ::stat(target.c_str(), &old) == 0;
  if (existed && !S_ISREG(old.st_mode)) return false;

  static std::atomic<unsigned> counter{0};
  std::string tmp;
  int fd = -1;
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    tmp = prefix + "." + base + ".tmp" + std::to_string(::getpid()) + "-" +
          std::to_string(counter.fetch_add(1));
    // 0666 less the umask, as for any new file; an old file's mode is copied below.
    fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno != EEXIST) return false;
  }
  if (fd < 0) return false;

  bool ok = writeAll(fd, data);
  if (ok && existed) {
    ok = ::fchmod(fd, old.st_mode & 07777) == 0;
    if (old.st_uid != ::geteuid() || old.st_gid != ::getegid()) {
      // Only a privileged writer may keep another user's ownership; anyone
      // else becomes the owner, which a refused chown leaves as it is.
      const int kept = ::fchown(fd, old.st_uid, old.st_gid);
      static_cast<void>(kept);
    }
  }
  ok = ok && ::fsync(fd) == 0;
  ok = (::close(fd) == 0) && ok;
  ok = ok && ::rename(tmp.c_str(), target.c_str()) == 0;
  if (!ok) {
    ::unlink(tmp.c_str());
    return false;
  }
  // Make the rename itself durable; the new content is in place either way.
  const int dirFd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dirFd >= 0) {
    ::fsync(dirFd);
    ::close(dirFd);
  }
  return true;
}

// Sets key of section in the parsed file: the value of the first such key
// is replaced, else the key is added after the section's last key, else the
// section is added at the end with it.
void setKey(IniText &ini, std::string_view section, std::string_view key, std::string_view value) {
  if (const std::optional<size_t> at = findKey(ini, section, key)) {
    std::string &text = ini.lines[*at].text;
    text.resize(classify(text).valueStart);
    text.append(value);
    return;
  }
  std::vector<Line> added;
  std::optional<size_t> where = insertionPoint(ini, section);
  if (!where) {
    where = ini.lines.size();
    if (!ini.lines.empty() && !trim(ini.lines.back().text).empty()) {
      added.push_back({"", ini.eol});
    }
    added.push_back({"[" + std::string(section) + "]", ini.eol});
  }
  added.push_back({std::string(key) + "=" + std::string(value), ini.eol});
  if (*where > 0 && ini.lines[*where - 1].eol.empty()) ini.lines[*where - 1].eol = ini.eol;
  ini.lines.insert(ini.lines.begin() + static_cast<std::ptrdiff_t>(*where), added.begin(),
                   added.end());
}

// Serialises read-modify-write cycles of this process, so that two threads
// writing different keys of one file never lose either change.
std::mutex writeMutex;

std::optional<std::string> lookup(const std::string &path, std::string_view section,
                                  std::string_view key) {
  const std::optional<std::string> data = readFile(path);
  if (!data) return std::nullopt;
  const IniText ini = parse(*data);
  const std::optional<size_t> at = findKey(ini, trim(section), trim(key));
  if (!at) return std::nullopt;
  return std::string(classify(ini.lines[*at].text).value);
}

// A value in a matching pair of quotes reads without them, so that it can
// keep blanks at its ends.
std::string unquote(std::string text) {
  if (text.size() >= 2 && (text.front() == '"' || text.front() == '\'') &&
      text.back() == text.front()) {
    return text.substr(1, text.size() - 2);
  }
  return text;
}

}  // namespace

std::string iniReadString(const std::string &path, std::string_view section, std::string_view key,
                          std::string_view def) {
  const std::optional<std::string> text = lookup(path, section, key);
  return text ? unquote(*text) : std::string(trim(def));
}

int iniReadInt(const std::string &path, std::string_view section, std::string_view key, int def) {
  const std::optional<std::string> text = lookup(path, section, key);
  if (!text || text->empty()) return def;

  std::string_view s = *text;
  bool negative = false;
  if (s.front() == '+' || s.front() == '-') {
    negative = s.front() == '-';
    s.remove_prefix(1);
  }
  // Digits accumulate modulo 2^32 like the private-profile call does.
  uint32_t v = 0;
  while (!s.empty() && s.front() >= '0' && s.front() <= '9') {
    v = v * 10u + static_cast<uint32_t>(s.front() - '0');
    s.remove_prefix(1);
  }
  if (negative) v = 0u - v;
  return static_cast<int>(v);
}

bool iniWriteString(const std::string &path, std::string_view section, std::string_view key,
                    std::string_view value) {
  const IniEntry entry{key, value};
  return iniWriteStrings(path, section, std::span(&entry, 1));
}

bool iniWriteStrings(const std::string &path, std::string_view section,
                     std::span<const IniEntry> entries) {
  if (!validSection(section)) return false;
  if (entries.empty()) return true;
  for (const IniEntry &e : entries) {
    if (!validKey(e.key) || hasLineBreak(e.value)) return false;
  }
  section = trim(section);

  const std::lock_guard lock(writeMutex);
  const std::optional<std::string> old = readFile(path);
  // A file that exists but cannot be read would be replaced by these keys alone.
  if (!old && errno != ENOENT) return false;
  IniText ini = parse(old ? *old : std::string());
  for (const IniEntry &e : entries)
    setKey(ini, section, trim(e.key), e.value);

  const std::string data = serialize(ini);
  if (old && data == *old) return true;
  return replaceFile(path, data);
}

}  // namespace platform
