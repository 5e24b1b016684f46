// Texts of the string table that carry printf-style fields.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

namespace search {

// Fills the fields of a string-table text in order: each %d, %ld, %u or %s
// takes the next argument as it is, %% is a percent sign. A field without an
// argument stays empty and an unknown field is kept as text, so a wrong table
// entry gives a wrong text, never undefined behaviour.
std::string formatText(std::string_view format, std::initializer_list<std::string_view> args);

}  // namespace search
