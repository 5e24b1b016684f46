#include "resources/kw_calibration_dialog.h"

#include <array>
#include <cstddef>

namespace resources {

namespace {

using ui::Kind;

constexpr std::size_t kControlCount = 4 + 5 * kKwPointCount + 18 + 1 + 2;

// Left: the group with the graph and the point rows (points 0-3 in the left
// column, 4-7 in the right), each row its gap, voltage, coefficient, "S" and
// "R". Right: the reference, the live values and the gain, then the
// recompute button, OK and Cancel. The first control that takes the focus
// is point 0's "S", so that no live value starts out held off by the focus.
constexpr std::array<ui::ControlTemplate, kControlCount> controls() {
  std::array<ui::ControlTemplate, kControlCount> c{};
  std::size_t n = 0;
  c[n++] = {Kind::GroupBox, ui::kNoId, "Интерполяция Kw(Us)", {7, 4, 262, 253}};
  c[n++] = {Kind::Static, ui::kNoId, "Kw", {14, 16, 40, 8}};
  c[n++] = {Kind::Custom, kKwGraph, "", {14, 26, 248, 150}, ui::NoStyle, "CGraph"};
  c[n++] = {Kind::Static, ui::kNoId, "Напряжение, В", {98, 178, 80, 8}, ui::Center};
  for (int i = 0; i < kKwPointCount; ++i) {
    const int x = i < 4 ? 14 : 140;
    const int y = 192 + 15 * (i % 4);
    c[n++] = {Kind::Static, kKwPointGap0 + i, "", {x, y + 2, 20, 8}};
    c[n++] = {Kind::Static, kKwPointU0 + i, "", {x + 21, y + 2, 35, 8}};
    c[n++] = {Kind::Static, kKwPointK0 + i, "", {x + 57, y + 2, 35, 8}};
    c[n++] = {Kind::PushButton, kKwTake0 + i, "S", {x + 93, y, 14, 12}};
    c[n++] = {Kind::PushButton, kKwClear0 + i, "R", {x + 108, y, 14, 12}};
  }
  constexpr auto kBox = ui::Sunken | ui::VCenter;
  c[n++] = {Kind::Static, ui::kNoId, "Эталонное напр-е, В:", {278, 8, 99, 8}};
  c[n++] = {Kind::Custom, kKwReferenceVolts, "", {278, 17, 64, 12}, ui::NoStyle, "CEdit1"};
  c[n++] = {Kind::Static, ui::kNoId, "Частота, Гц:", {278, 31, 99, 8}};
  c[n++] = {Kind::Custom, kKwFrequency, "", {278, 40, 64, 60}, ui::NoStyle, "CComboF"};
  c[n++] = {Kind::Static, ui::kNoId, "Эталонное в.п., мкм:", {278, 54, 99, 8}};
  c[n++] = {Kind::Static, kKwReferenceUm, "", {278, 63, 64, 12}, kBox};
  c[n++] = {Kind::Static, ui::kNoId, "Виброперем-е, мкм", {278, 77, 99, 8}};
  c[n++] = {Kind::Custom, kKwValue, "", {278, 86, 64, 12}, ui::NoStyle, "CEdit1"};
  c[n++] = {Kind::Static, ui::kNoId, "Погрешность В.П., %:", {278, 100, 99, 8}};
  c[n++] = {Kind::Static, kKwError, "", {278, 109, 64, 12}, kBox};
  c[n++] = {Kind::Static, ui::kNoId, "Напряжение Uw, мВ:", {278, 123, 99, 8}};
  c[n++] = {Kind::Static, kKwUw, "", {278, 132, 64, 12}, kBox};
  c[n++] = {Kind::Static, ui::kNoId, "Зазор, мм:", {278, 146, 99, 8}};
  c[n++] = {Kind::Static, kKwGap, "", {278, 155, 64, 12}, kBox};
  c[n++] = {Kind::Static, ui::kNoId, "Напряжение Us, В:", {278, 169, 99, 8}};
  c[n++] = {Kind::Custom, kKwUs, "", {278, 178, 64, 12}, ui::NoStyle, "CEdit1"};
  c[n++] = {Kind::Static, ui::kNoId, "Коэффициент Kw2:", {278, 192, 99, 8}};
  c[n++] = {Kind::Custom, kKwKw2, "", {278, 201, 64, 12}, ui::NoStyle, "CEdit1"};
  c[n++] = {Kind::PushButton, kKwRecompute, "Пересчитать Kw2", {278, 219, 92, 14}, ui::Disabled};
  c[n++] = {Kind::DefPushButton, 1, "OK", {278, 240, 44, 14}};
  c[n++] = {Kind::PushButton, 2, "Cancel", {326, 240, 44, 14}};
  return c;
}

constexpr auto kControls = controls();
// Every entry filled: the last one is Cancel (too few entries fail to compile).
static_assert(kControls.back().id == 2);

}  // namespace

const ui::DialogTemplate kKwCalibrationDialog{kKwCalibrationDialogId,
                                              "Параметры калибровки",
                                              {384, 264},
                                              {"Arial", 12},
                                              ui::SysMenu,
                                              kControls};

}  // namespace resources
