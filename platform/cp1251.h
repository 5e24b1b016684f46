// Conversion between UTF-8 and Windows-1251, the single-byte code page of the
// texts that cross the link library's C interface.
#pragma once

#include <string>
#include <string_view>

namespace platform {

// Characters without a Windows-1251 byte, and malformed UTF-8 sequences,
// become '?'.
std::string utf8ToCp1251(std::string_view utf8);

// Byte 0x98, the one unassigned byte of the code page, becomes U+FFFD.
std::string cp1251ToUtf8(std::string_view cp1251);

}  // namespace platform
