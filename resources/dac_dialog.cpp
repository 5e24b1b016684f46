#include "resources/dac_dialog.h"

namespace resources {

namespace {

using ui::Kind;

constexpr auto kOff = ui::Disabled;  // channel 1: shown, but without a function

// Each group: the two output buttons with the ammeter's reading beside each,
// then "Калибровка" and "Отмена".
constexpr ui::ControlTemplate kControls[] = {
    {Kind::GroupBox, ui::kNoId, "Канал 1", {7, 4, 302, 78}},
    {Kind::PushButton, kDac1Min, "Подать на ЦАП минимальное значение", {14, 19, 156, 14}, kOff},
    {Kind::Static, ui::kNoId, "значение на выходе, мА:", {176, 22, 90, 8}, kOff},
    {Kind::Edit, kDac1OutMin, "", {268, 20, 34, 12}, kOff},
    {Kind::PushButton, kDac1Max, "Подать на ЦАП максимальное значение", {14, 38, 156, 14}, kOff},
    {Kind::Static, ui::kNoId, "значение на выходе, мА:", {176, 41, 90, 8}, kOff},
    {Kind::Edit, kDac1OutMax, "", {268, 39, 34, 12}, kOff},
    {Kind::PushButton, kDac1Calibrate, "Калибровка", {14, 61, 70, 14}, kOff},
    {Kind::PushButton, kDac1Cancel, "Отмена", {90, 61, 70, 14}, kOff},

    {Kind::GroupBox, ui::kNoId, "Канал 2", {7, 85, 302, 78}},
    {Kind::PushButton, kDac2Min, "Подать на ЦАП минимальное значение", {14, 100, 156, 14}},
    {Kind::Static, ui::kNoId, "значение на выходе, мА:", {176, 103, 90, 8}},
    {Kind::Edit, kDac2OutMin, "", {268, 101, 34, 12}},
    {Kind::PushButton, kDac2Max, "Подать на ЦАП максимальное значение", {14, 119, 156, 14}},
    {Kind::Static, ui::kNoId, "значение на выходе, мА:", {176, 122, 90, 8}},
    {Kind::Edit, kDac2OutMax, "", {268, 120, 34, 12}},
    {Kind::PushButton, kDac2Calibrate, "Калибровка", {14, 142, 70, 14}},
    {Kind::PushButton, kDac2Cancel, "Отмена", {90, 142, 70, 14}},

    {Kind::PushButton, kDacExit, "Выход", {133, 166, 50, 14}},
};

}  // namespace

const ui::DialogTemplate kDacDialog{kDacDialogId,  "Калибровка ЦАП", {316, 183},
                                    {"Arial", 12}, ui::SysMenu,      kControls};

}  // namespace resources
