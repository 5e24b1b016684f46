// Result codes of operating-system failures and their Russian texts.
//
// Failures of the operating system reach callers of the link library as
// 32-bit codes with one meaning on every platform (the numbers of the Win32
// error space), so that a stored or displayed code reads the same everywhere:
// 2 the port or file does not exist, 5 the port is held by another program,
// 995 a port operation was aborted after a line error. errno values are
// translated into this space here, and every code the layer can return has a
// Russian text.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

inline constexpr uint32_t kErrFileNotFound = 2;        // ENOENT, ENODEV, ENXIO
inline constexpr uint32_t kErrPathNotFound = 3;        // ENOTDIR
inline constexpr uint32_t kErrTooManyOpenFiles = 4;    // EMFILE, ENFILE
inline constexpr uint32_t kErrPortBusy = 5;            // EBUSY, a lock held by another program
inline constexpr uint32_t kErrInvalidHandle = 6;       // EBADF
inline constexpr uint32_t kErrNotEnoughMemory = 8;     // ENOMEM
inline constexpr uint32_t kErrHandleEof = 38;          // a file shorter than its size said
inline constexpr uint32_t kErrBaudRate = 50;           // a speed the line cannot be set to
inline constexpr uint32_t kErrFileExists = 80;         // EEXIST
inline constexpr uint32_t kErrInvalidParameter = 87;   // EINVAL, null pointers, poll interval 0
inline constexpr uint32_t kErrDiskFull = 112;          // ENOSPC, EDQUOT
inline constexpr uint32_t kErrNameTooLong = 206;       // ENAMETOOLONG
inline constexpr uint32_t kErrOperationAborted = 995;  // line error not yet fetched
inline constexpr uint32_t kErrNotSerialPort = 20;      // ENOTTY: the path is no serial device
inline constexpr uint32_t kErrIoDevice = 1117;         // EIO
inline constexpr uint32_t kErrTimeout = 1460;          // a write that the line did not take in time
inline constexpr uint32_t kErrPermission = 1314;       // EACCES, EPERM
inline constexpr uint32_t kErrReadOnly = 19;           // EROFS
// errno values without a counterpart above come through as kErrnoBase + errno.
inline constexpr uint32_t kErrnoBase = 0x00010000;

// The code for an errno value (0 stays 0).
uint32_t codeFromErrno(int err);

// The code for the current errno.
uint32_t lastErrorCode();

// The Russian text (UTF-8) of an operating-system code; empty when the code
// has none.
std::string systemErrorText(uint32_t code);

}  // namespace platform
