// Whole-buffer file reads and writes, and the atomic replacement of a file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace platform {

// Reads exactly size bytes: 0, kErrHandleEof when the file ends first, or the
// system error.
uint32_t readAll(int fd, void *data, size_t size);

// Writes all bytes: 0 or the system error.
uint32_t writeAll(int fd, const void *data, size_t size);

// Moves the complete file at from to the name to, replacing what is there in
// one step, so that to is always either the old or the whole new file. When
// the two are on different file systems the file is first copied to a
// temporary file beside to. The result has the permissions of a new file of
// the user (0666 less the umask). 0 or the system error; from is removed in
// either case.
uint32_t replaceFile(const std::string &from, const std::string &to);

}  // namespace platform
