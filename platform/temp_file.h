// Temporary files.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace platform {

// The user's temporary directory: $TMPDIR when set, else /tmp.
std::string tempDirectory();

// Creates a new file with a unique name that begins with prefix in the
// temporary directory, exclusively (it did not exist before) and readable
// and writable by the owner only. On success stores its path and an open
// descriptor (close-on-exec) and returns 0, else the system error code.
uint32_t createTempFile(std::string_view prefix, std::string &path, int &fd);

}  // namespace platform
