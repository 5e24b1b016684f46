// The link library's texts are Windows-1251 bytes; the program shows UTF-8.
#pragma once

#include <string>
#include <string_view>

namespace device {

// Converts Windows-1251 text to UTF-8. The one byte that code page leaves
// unassigned (0x98) becomes U+FFFD.
std::string cp1251ToUtf8(std::string_view text);

}  // namespace device
