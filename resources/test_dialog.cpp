#include "resources/test_dialog.h"

namespace resources {

namespace {

using ui::Kind;

// Labels as for a gap and vibration sensor; the dialog renames them for a
// three-component one.
constexpr ui::ControlTemplate kControls[] = {
    {Kind::Static, kTestLabel1, "Зазор S, мм:", {7, 10, 74, 8}},
    {Kind::Custom, kTestValue1, "", {83, 8, 48, 13}, ui::NoStyle, "CEdit1"},
    {Kind::Static, kTestLabel2, "Виброперем. W, мм:", {7, 28, 74, 8}},
    {Kind::Custom, kTestValue2, "", {83, 26, 48, 13}, ui::NoStyle, "CEdit1"},
    {Kind::Static, kTestLabel3, "Ось Y, мм/с", {7, 46, 74, 8}},
    {Kind::Custom, kTestValue3, "", {83, 44, 48, 13}, ui::NoStyle, "CEdit1"},
    {Kind::DefPushButton, 1, "OK", {14, 67, 50, 14}},
    {Kind::PushButton, 2, "Cancel", {74, 67, 50, 14}},
};

}  // namespace

const ui::DialogTemplate kTestDialog{kTestDialogId, "Тест QVZ2", {138, 88},
                                     {"Arial", 12}, ui::SysMenu, kControls};

}  // namespace resources
