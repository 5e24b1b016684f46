#include "resources/gap_calibration_dialog.h"

#include <array>
#include <cstddef>

namespace resources {

namespace {

using ui::Kind;

constexpr std::size_t kControlCount = 4 + 4 * kGapPointCount + 10 + 2;

// Left: the group with the graph and the point rows (points 0-4 in the left
// column, 5-9 in the right), each row its reference, its voltage, "S" and
// "R". Right: the live values, the gain and the error, then OK and Cancel.
// The first control that takes the focus is point 0's "S", so that no
// live value starts out held off by the focus.
constexpr std::array<ui::ControlTemplate, kControlCount> controls() {
  std::array<ui::ControlTemplate, kControlCount> c{};
  std::size_t n = 0;
  c[n++] = {Kind::GroupBox, ui::kNoId, "Интерполяция S(Us)", {7, 4, 262, 266}};
  c[n++] = {Kind::Static, ui::kNoId, "S,мм", {14, 16, 40, 8}};
  c[n++] = {Kind::Custom, kGapGraph, "", {14, 26, 248, 150}, ui::NoStyle, "CGraph"};
  c[n++] = {Kind::Static, ui::kNoId, "Напряжение, В", {98, 178, 80, 8}, ui::Center};
  for (int i = 0; i < kGapPointCount; ++i) {
    const int x = i < 5 ? 14 : 140;
    const int y = 192 + 15 * (i % 5);
    c[n++] = {Kind::Static, kGapPointRef0 + i, "", {x, y + 2, 40, 8}};
    c[n++] = {Kind::Static, kGapPointU0 + i, "", {x + 42, y + 2, 40, 8}};
    c[n++] = {Kind::PushButton, kGapTake0 + i, "S", {x + 84, y, 17, 12}};
    c[n++] = {Kind::PushButton, kGapClear0 + i, "R", {x + 103, y, 17, 12}};
  }
  c[n++] = {Kind::Static, ui::kNoId, "Напряжение Us, В:", {278, 10, 99, 8}};
  c[n++] = {Kind::Custom, kGapUs, "", {278, 20, 64, 12}, ui::NoStyle, "CEdit1"};
  c[n++] = {Kind::Static, ui::kNoId, "Коэффициент Ks2:", {278, 40, 99, 8}};
  c[n++] = {Kind::Custom, kGapKs2, "", {278, 50, 64, 12}, ui::NoStyle, "CEdit1"};
  c[n++] = {Kind::Static, ui::kNoId, "Зазор, мм:", {278, 70, 99, 8}};
  c[n++] = {Kind::Custom, kGapValue, "", {278, 80, 64, 12}, ui::NoStyle, "CEdit1"};
  c[n++] = {Kind::Static, ui::kNoId, "Эталонный зазор, мм:", {278, 100, 99, 8}};
  c[n++] = {Kind::Custom, kGapReference, "", {278, 110, 64, 12}, ui::NoStyle, "CEdit1"};
  c[n++] = {Kind::Static, ui::kNoId, "Погрешность S, %:", {278, 130, 99, 8}};
  c[n++] = {Kind::Static, kGapError, "", {278, 140, 64, 12}, ui::Sunken | ui::VCenter};
  c[n++] = {Kind::DefPushButton, 1, "OK", {290, 234, 70, 14}};
  c[n++] = {Kind::PushButton, 2, "Cancel", {290, 253, 70, 14}};
  return c;
}

constexpr auto kControls = controls();
// Every entry filled: the last one is Cancel (too few entries fail to compile).
static_assert(kControls.back().id == 2);

}  // namespace

const ui::DialogTemplate kGapCalibrationDialog{kGapCalibrationDialogId,
                                               "Параметры калибровки канала S",
                                               {384, 277},
                                               {"Arial", 12},
                                               ui::SysMenu,
                                               kControls};

}  // namespace resources
