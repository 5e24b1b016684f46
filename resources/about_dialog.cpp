#include "resources/about_dialog.h"

namespace resources {

namespace {

using ui::Kind;

constexpr ui::ControlTemplate kControls[] = {
    {Kind::Picture, kAboutPicture, "", {11, 17, 24, 24}},
    {Kind::Static,
     ui::kNoId,
     "Программа тестирования и настройки\nдатчика вибрации QVZ-3\n\nВерсия 4.4.0.8 от 02.10.2008",
     {44, 10, 170, 40},
     ui::Center | ui::NoPrefix},
    {Kind::Static,
     ui::kNoId,
     "Поиск датчика, показания, уставки, калибровка каналов и токовых выходов, "
     "запись таблиц. Обмен по Modbus RTU через библиотеку rk; опорный сигнал - модуль АЦП E-140.",
     {14, 56, 200, 26},
     ui::Center | ui::NoPrefix},
    {Kind::DefPushButton, 1, "OK", {89, 88, 50, 14}},
};

}  // namespace

const ui::DialogTemplate kAboutDialog{kAboutDialogId,       "О программе", {228, 110},
                                      {"MS Sans Serif", 8}, ui::SysMenu,   kControls};

}  // namespace resources
