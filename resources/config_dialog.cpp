#include "resources/config_dialog.h"

namespace resources {

namespace {

using ui::Kind;

constexpr ui::ControlTemplate kControls[] = {
    {Kind::GroupBox, ui::kNoId, "Канал S", {7, 4, 128, 32}},
    {Kind::PushButton, kConfigCalibrateS, "Калибровка...", {26, 16, 90, 14}, ui::Disabled},
    {Kind::GroupBox, ui::kNoId, "Канал W", {7, 40, 128, 32}},
    {Kind::PushButton, kConfigCalibrateW, "Калибровка...", {26, 52, 90, 14}, ui::Disabled},
    {Kind::PushButton, kConfigCalibrateDac, "Калибровка ЦАП", {26, 80, 90, 14}, ui::Disabled},
    {Kind::DefPushButton, 1, "OK", {14, 105, 52, 14}},
    {Kind::PushButton, 2, "Cancel", {76, 105, 52, 14}},
};

}  // namespace

const ui::DialogTemplate kConfigDialog{
    kConfigDialogId, "Параметры калибровки", {142, 127}, {"Arial", 12}, ui::SysMenu, kControls};

}  // namespace resources
