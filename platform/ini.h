// Access to an INI file with the private-profile rules: sections and keys are
// matched without regard to letter case, values are text, every other line of
// the file is kept as it was, a missing file reads as empty, and a write
// replaces the file atomically so that it is never left half-written.
#pragma once

#include <span>
#include <string>
#include <string_view>

namespace platform {

// The value of key in section, or def when the file, section or key is absent.
// Surrounding blanks of the value are dropped, and then a matching pair of
// quotes around it.
std::string iniReadString(const std::string &path, std::string_view section, std::string_view key,
                          std::string_view def);

// The leading decimal integer of the value (as the private-profile call reads
// it), def when the key is absent or its value empty; a value without
// digits reads as 0.
int iniReadInt(const std::string &path, std::string_view section, std::string_view key, int def);

// Sets key in section to value, adding the section and key when missing.
// Returns false when the file cannot be written; the old file is then intact.
bool iniWriteString(const std::string &path, std::string_view section, std::string_view key,
                    std::string_view value);

struct IniEntry {
  std::string_view key;
  std::string_view value;
};

// Sets several keys of one section, in order, as that many iniWriteString
// calls would, but rewrites (and flushes) the file once. Nothing is written
// when any key or value could not be written alone.
bool iniWriteStrings(const std::string &path, std::string_view section,
                     std::span<const IniEntry> entries);

}  // namespace platform
