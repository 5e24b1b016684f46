#include "resources/connect_dialog.h"

namespace resources {

namespace {

using ui::Kind;

constexpr ui::ControlTemplate kControls[] = {
    {Kind::GroupBox, kConnectPortsGroup, "Порты", {7, 7, 100, 104}},
    {Kind::CheckList, kConnectPorts, "", {13, 19, 88, 86}},
    {Kind::GroupBox, kConnectSpeedsGroup, "Скорости", {113, 7, 60, 104}},
    {Kind::CheckList, kConnectSpeeds, "", {119, 19, 48, 86}},

    {Kind::GroupBox, kConnectAddressGroup, "Адреса", {179, 7, 76, 52}},
    {Kind::Static, kConnectFromLabel, "От:", {186, 22, 18, 8}},
    {Kind::Edit, kConnectFrom, "", {206, 20, 42, 13}},
    {Kind::SpinButton, kConnectFromSpin, "", {0, 0, 10, 13}, ui::AutoBuddy},
    {Kind::Static, kConnectToLabel, "До:", {186, 40, 18, 8}},
    {Kind::Edit, kConnectTo, "", {206, 38, 42, 13}},
    {Kind::SpinButton, kConnectToSpin, "", {0, 0, 10, 13}, ui::AutoBuddy},
    {Kind::PushButton, kConnectSearch, "Поиск", {179, 66, 76, 14}},
    {Kind::PushButton, kConnectContinue, "Продолжение", {179, 84, 76, 14}, ui::Disabled},

    {Kind::GroupBox, ui::kNoId, "Результаты поиска", {7, 116, 248, 46}},
    {Kind::Static, ui::kNoId, "Проверяется:", {13, 130, 48, 8}},
    {Kind::Edit, kConnectTrying, "", {63, 128, 186, 13}, ui::ReadOnly},
    {Kind::Static, ui::kNoId, "Выбран:", {13, 146, 48, 8}},
    {Kind::Edit, kConnectSelected, "", {63, 144, 186, 13}, ui::ReadOnly},

    {Kind::DefPushButton, kConnectSelect, "Выбор", {141, 170, 55, 14}, ui::Disabled},
    {Kind::PushButton, kConnectCancel, "Отказ", {200, 170, 55, 14}},
};

}  // namespace

const ui::DialogTemplate kConnectDialog{kConnectDialogId,     "Поиск датчика", {262, 191},
                                        {"MS Sans Serif", 8}, ui::SysMenu,     kControls};

}  // namespace resources
