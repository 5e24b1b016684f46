// The sensor's non-volatile memory in a text file: line settings, committed
// configuration, table image and files, numbers in hexadecimal.
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "bytes.h"
#include "device.h"

namespace qvzsim {
namespace {

constexpr const char *kMagic = "qvzsim-state 1";

std::string hex(std::span<const uint8_t> bytes) {
  static const char digits[] = "0123456789abcdef";
  std::string s;
  s.reserve(bytes.size() * 2);
  for (uint8_t b : bytes) {
    s.push_back(digits[b >> 4]);
    s.push_back(digits[b & 15]);
  }
  return s;
}

std::optional<std::vector<uint8_t>> unhex(const std::string &s) {
  if (s.size() % 2) return std::nullopt;
  std::vector<uint8_t> out;
  out.reserve(s.size() / 2);
  auto digit = [](char c) {
    return c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
  };
  for (size_t i = 0; i < s.size(); i += 2) {
    const int hi = digit(s[i]), lo = digit(s[i + 1]);
    if (hi < 0 || lo < 0) return std::nullopt;
    out.push_back(static_cast<uint8_t>(hi * 16 + lo));
  }
  return out;
}

}  // namespace

bool Device::load(std::string &error) {
  std::ifstream in(stateFile_);
  if (!in) return true;  // a new sensor: factory state, written at the first change
  std::string line;
  if (!std::getline(in, line) || line != kMagic) {
    error = stateFile_ + ": not a qvzsim state file";
    return false;
  }
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    std::string key, a, b;
    fields >> key >> a >> b;
    bool ok = true;
    if (key == "address") {
      const long v = std::strtol(a.c_str(), nullptr, 10);
      ok = v >= 1 && v <= 247;
      address_ = static_cast<uint8_t>(v);
    } else if (key == "baud") {
      baud_ = static_cast<uint32_t>(std::strtoul(a.c_str(), nullptr, 10));
      ok = std::find(kSpeeds.begin(), kSpeeds.end(), baud_) != kSpeeds.end();
    } else if (key == "config" || key == "table" || key == "file") {
      const auto bytes = unhex(key == "file" ? b : a);
      const auto name = key == "file" ? unhex(a) : std::optional<std::vector<uint8_t>>{};
      ok = bytes.has_value();
      if (ok && key == "config") {
        ok = bytes->size() == stored_.size() * 2;
        for (size_t i = 0; ok && i < stored_.size(); ++i)
          stored_[i] = be16(*bytes, 2 * i);
      } else if (ok && key == "table") {
        ok = bytes->size() == static_cast<size_t>(regs::kTableBytes);
        for (int i = 0; ok && i < regs::kTableFloats; ++i)
          table_[i] = std::bit_cast<float>(le32(*bytes, 4 * static_cast<size_t>(i)));
      } else if (ok) {
        ok = name.has_value();
        if (ok) files_[std::string(name->begin(), name->end())] = *bytes;
      }
    }
    if (!ok) {
      error = stateFile_ + ": bad line '" + key + " ...'";
      return false;
    }
  }
  holding_ = stored_;
  return true;
}

void Device::save() const {
  if (stateFile_.empty()) return;
  std::ostringstream out;
  out << kMagic << "\naddress " << unsigned{address_} << "\nbaud " << baud_ << "\n";
  std::vector<uint8_t> config;
  for (uint16_t w : stored_)
    putBe16(config, w);
  out << "config " << hex(config) << "\ntable " << hex(tableImage()) << "\n";
  for (const auto &[name, bytes] : files_)
    out << "file " << hex({reinterpret_cast<const uint8_t *>(name.data()), name.size()}) << " "
        << hex(bytes) << "\n";
  // Written aside and renamed, so a crash never leaves half a state behind.
  const std::string tmp = stateFile_ + ".tmp";
  {
    std::ofstream f(tmp, std::ios::trunc);
    f << out.str();
    if (!f.flush()) return;
  }
  std::rename(tmp.c_str(), stateFile_.c_str());
}

}  // namespace qvzsim
