#include "search/text_format.h"

namespace search {

std::string formatText(std::string_view format, std::initializer_list<std::string_view> args) {
  std::string out;
  out.reserve(format.size() + 32);
  const std::string_view *next = args.begin();
  for (std::size_t i = 0; i < format.size(); ++i) {
    if (format[i] != '%' || i + 1 == format.size()) {
      out += format[i];
      continue;
    }
    std::string_view rest = format.substr(i + 1);
    if (rest.front() == '%') {
      out += '%';
      ++i;
      continue;
    }
    std::size_t length = 0;  // of the field after '%'
    for (std::string_view field : {"ld", "d", "u", "s"}) {
      if (rest.starts_with(field)) {
        length = field.size();
        break;
      }
    }
    if (length == 0) {
      out += '%';
      continue;
    }
    if (next != args.end()) out += *next++;
    i += length;
  }
  return out;
}

}  // namespace search
