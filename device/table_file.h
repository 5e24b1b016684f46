// Coefficient files: the 6144-byte table image of a gap and vibration sensor,
// 1536 little-endian floats without header.
#pragma once

#include <string>

#include "register_map.h"

namespace device {

// The sensor's name of its table image, the file a coefficient file is sent as.
inline constexpr const char *kTableFileName = "table.bin";

// Writes `image` to `path` through a temporary file in the same directory and
// an atomic rename, so that the path holds either its old content or the whole
// new file, never a truncated one. Results:
//   0  written;
//  -1  the file cannot be created there (no such directory, no permission, the
//      path names a directory);
//  -2  fewer than 6144 bytes could be written (disk full, file size limit);
//  -3  the data could not be flushed and closed.
// On failure nothing is left behind but the old file, if there was one, and
// *error (when given) holds the errno of the step that failed; 0 on success.
int writeCoefficientFile(const std::string &path, const TableImage &image, int *error = nullptr);

// The text of a failed writeCoefficientFile for the user: which file, what
// went wrong and why (the system's reason for `error`). Empty for result 0.
std::string coefficientFileError(const std::string &path, int result, int error);

}  // namespace device
