#include "resources/config3k_dialog.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <string_view>

namespace resources {

namespace {

using ui::ControlTemplate;
using ui::Kind;
constexpr auto kBox = ui::Sunken | ui::NoPrefix;  // a value field
constexpr std::string_view kEdit = "CEdit1";

constexpr std::array<ControlTemplate, 7> kGeneral{{
    {Kind::GroupBox, ui::kNoId, "Общие параметры", {6, 4, 286, 42}},
    {Kind::Static, ui::kNoId, "Частота, Гц:", {14, 17, 52, 8}},
    {Kind::Custom, k3KFrequency, "", {70, 15, 50, 60}, ui::NoStyle, "CComboF"},
    {Kind::Static, ui::kNoId, "Uэт с АЦП:", {14, 31, 52, 8}},
    {Kind::Static, k3KAdcValue, "", {70, 30, 50, 10}, kBox},
    {Kind::PushButton, k3KDacCalibration, "Калибровка ЦАП", {200, 13, 84, 14}},
    {Kind::PushButton, k3KRestart, "Перезагрузка", {200, 28, 84, 14}, ui::Disabled},
}};

// The controls of one axis, a column in a group box at x, in tab order: the
// ADC button sits under the edit it fills.
struct AxisIds {
  int measured, voltage, adc, velocity, tare, calibrate;
};

constexpr std::array<ControlTemplate, 11> axisGroup(std::string_view title, int x, AxisIds ids) {
  const int c = x + 6;  // the column inside the frame
  return {{
      {Kind::GroupBox, ui::kNoId, title, {x, 50, 92, 152}},
      {Kind::Static, ui::kNoId, "Изм.знач.:", {c, 62, 80, 8}},
      {Kind::Static, ids.measured, "", {c, 71, 80, 12}, kBox},
      {Kind::Static, ui::kNoId, "Эталонное напр-е, В:", {c, 88, 80, 8}},
      {Kind::Custom, ids.voltage, "", {c, 97, 80, 13}, ui::NoStyle, kEdit},
      {Kind::PushButton, ids.adc, "Uэт с АЦП", {c, 112, 80, 14}, ui::Disabled},
      {Kind::Static, ui::kNoId, "Виброскорость, мм/с", {c, 131, 80, 8}},
      {Kind::Static, ids.velocity, "", {c, 140, 80, 12}, kBox},
      {Kind::Static, ui::kNoId, "Тарировочный к-т:", {c, 157, 80, 8}},
      {Kind::Custom, ids.tare, "", {c, 166, 80, 13}, ui::NoStyle, kEdit},
      {Kind::PushButton, ids.calibrate, "Калибровка", {c, 183, 80, 14}, ui::Disabled},
  }};
}

constexpr std::array<ControlTemplate, 2> kEnd{{
    {Kind::DefPushButton, 1, "OK", {88, 208, 56, 14}},
    {Kind::PushButton, 2, "Cancel", {154, 208, 56, 14}},
}};

template <std::size_t... N>
constexpr auto join(const std::array<ControlTemplate, N> &...parts) {
  std::array<ControlTemplate, (N + ...)> all{};
  auto out = all.begin();
  ((out = std::copy(parts.begin(), parts.end(), out)), ...);
  return all;
}

constexpr auto kControls =
    join(kGeneral,
         axisGroup("Канал Y", 6,
                   {k3KMeasuredY, k3KVoltageY, k3KAdcY, k3KVelocityY, k3KTareY, k3KCalibrateY}),
         axisGroup("Канал X", 103,
                   {k3KMeasuredX, k3KVoltageX, k3KAdcX, k3KVelocityX, k3KTareX, k3KCalibrateX}),
         axisGroup("Канал Z", 200,
                   {k3KMeasuredZ, k3KVoltageZ, k3KAdcZ, k3KVelocityZ, k3KTareZ, k3KCalibrateZ}),
         kEnd);

}  // namespace

const ui::DialogTemplate kConfig3KDialog{kConfig3KDialogId, "Калибровка трехкомпонентного датчика",
                                         {298, 227},        {"Arial", 12},
                                         ui::SysMenu,       kControls};

}  // namespace resources
