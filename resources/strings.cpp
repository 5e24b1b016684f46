#include "resources/strings.h"

#include <algorithm>
#include <string_view>

namespace resources {

namespace {

struct Entry {
  int id;
  std::string_view text;
};

// Sorted by id.
constexpr Entry kStrings[] = {
    {101, "&О программе..."},
    {102, " "},
    {215, "Поиск"},
    {216, "Стоп"},
    {217, "Контроллер не найден"},
    {218, "IdStr=\"%s\", адрес=%d"},
    {219, "rk.dll,%d,%d,%d,%d"},
    {1000, "Предупредительная уставка \"зазор\" min:"},
    {1001, "Аварийная уставка \"зазор\" min:"},
    {1002, "Предупредительная уставка \"перемещение\":"},
    {1003, "Аварийная уставка \"перемещение\":"},
    {1004, "Предупредительная уставка \"зазор\" max:"},
    {1005, "Аварийная уставка \"зазор\" max:"},
    {1010, "Предупредительная уставка канала Z:"},
    {1011, "Аварийная уставка канала Z:"},
    {1012, "Предупредительная уставка канала X:"},
    {1013, "Аварийная уставка канала X:"},
    {1014, "Предупредительная уставка канала Y:"},
    {1015, "Аварийная уставка канала Y:"},
    {1020, "Sп<:"},
    {1021, "Sа<:"},
    {1022, "Wп:"},
    {1023, "Wа:"},
    {1024, "Sп>:"},
    {1025, "Sа>:"},
    {1030, "Zп:"},
    {1031, "Zа:"},
    {1032, "Xп:"},
    {1033, "Xа:"},
    {1034, "Yп:"},
    {1035, "Yа:"},
    {1040, "S"},
    {1041, "Z"},
    {1042, "W"},
    {1043, "X"},
    {1044, " "},
    {1045, "Y"},
};

static_assert(std::ranges::is_sorted(kStrings, {}, &Entry::id), "the string table is sorted by id");

}  // namespace

QString loadString(int id) {
  const auto it = std::ranges::lower_bound(kStrings, id, {}, &Entry::id);
  if (it == std::end(kStrings) || it->id != id) return {};
  return QString::fromUtf8(it->text.data(), static_cast<qsizetype>(it->text.size()));
}

}  // namespace resources
