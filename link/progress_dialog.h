// Dialog 101 of the library: the transfer progress window.
#pragma once

#include "ui/template.h"

namespace rk {

enum ProgressControl : int {
  kProgressStop = 2,          // "Остановить"
  kProgressDirection = 1000,  // direction line
  kProgressGood = 1002,       // replies with a valid CRC since the window opened
  kProgressFailed = 1003,     // failed attempts since the window opened
  kProgressBar = 1004,        // percent done
  kProgressBytes = 1005,      // byte counter
};

inline constexpr ui::ControlTemplate kProgressControls[] = {
    {ui::Kind::PushButton, kProgressStop, "Остановить", {131, 117, 56, 18}},
    {ui::Kind::GroupBox, ui::kNoId, "", {5, 5, 310, 100}},
    {ui::Kind::Static, kProgressDirection, "", {10, 15, 300, 30}, ui::Center | ui::VCenter},
    {ui::Kind::Static, ui::kNoId, "Успешных обменов:", {15, 90, 70, 10}},
    {ui::Kind::Static, kProgressGood, "", {90, 90, 30, 10}},
    {ui::Kind::Static, ui::kNoId, "Сбоев:", {245, 90, 24, 10}},
    {ui::Kind::Static, kProgressFailed, "", {275, 90, 30, 10}},
    {ui::Kind::ProgressBar, kProgressBar, "", {10, 65, 300, 17}},
    {ui::Kind::Static, kProgressBytes, "", {10, 50, 300, 10}, ui::Center},
};

inline constexpr ui::DialogTemplate kProgressDialog{101,
                                                    "Обмен с удаленным устройством",
                                                    {319, 145},
                                                    {"MS Sans Serif", 8},
                                                    ui::SysMenu | ui::Centered,
                                                    kProgressControls};

}  // namespace rk
