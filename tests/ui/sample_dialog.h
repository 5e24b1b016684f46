// A template with one control of every kind, and a dialog that records what
// reaches it.
#pragma once

#include <utility>
#include <vector>

#include "ui/dialog.h"

namespace uitest {

constexpr ui::ControlTemplate kSampleControls[] = {
    {ui::Kind::GroupBox, ui::kNoId, "Рамка", {5, 5, 150, 90}},
    {ui::Kind::Static, 100, "&Порт:", {10, 18, 40, 10}},
    {ui::Kind::Edit, 101, "7", {55, 16, 40, 12}},
    {ui::Kind::SpinButton, 102, "", {95, 16, 10, 12}, ui::AutoBuddy},
    {ui::Kind::Static, 103, "value", {10, 34, 60, 10}, ui::Sunken | ui::Right},
    {ui::Kind::CheckBox, 104, "&Флаг", {10, 48, 60, 10}},
    {ui::Kind::RadioButton, 105, "один", {10, 60, 40, 10}, ui::Group},
    {ui::Kind::RadioButton, 106, "два", {55, 60, 40, 10}},
    {ui::Kind::ComboList, 107, "", {10, 74, 60, 50}},
    {ui::Kind::ComboEdit, 108, "", {75, 74, 60, 50}},
    {ui::Kind::CheckList, 109, "", {160, 10, 70, 60}},
    {ui::Kind::ProgressBar, 110, "", {160, 75, 70, 10}},
    {ui::Kind::Picture, 111, "", {240, 10, 20, 20}},
    {ui::Kind::Custom, 112, "", {240, 40, 30, 12}, ui::NoStyle, "TestWidget"},
    {ui::Kind::PushButton, 113, "&Сброс", {10, 100, 50, 14}},
    {ui::Kind::PushButton, 114, "Hidden", {65, 100, 50, 14}, ui::Hidden | ui::Disabled},
    {ui::Kind::DefPushButton, 1, "OK", {120, 100, 50, 14}},
    {ui::Kind::PushButton, 2, "Отказ", {175, 100, 50, 14}},
};

constexpr ui::DialogTemplate kSample{500,         "Пример",       {280, 120}, {"MS Sans Serif", 8},
                                     ui::SysMenu, kSampleControls};

// The same without a default button and without a control 2.
constexpr ui::ControlTemplate kPlainControls[] = {
    {ui::Kind::Edit, 201, "", {10, 10, 60, 12}},
    {ui::Kind::PushButton, 202, "Другая", {10, 30, 50, 14}},
};
constexpr ui::DialogTemplate kPlain{501,           "Без кнопок", {100, 60},
                                    {"Arial", 12}, ui::SysMenu,  kPlainControls};

class RecordingDialog : public ui::Dialog {
 public:
  using ui::Dialog::Dialog;

  std::vector<std::pair<int, ui::Notification>> commands;
  std::vector<int> ticks;
  int inits = 0;
  bool endOnCommands = true;  // false: ids 1 and 2 do not end the dialog

 protected:
  void onInit() override { ++inits; }
  void onCommand(int id, ui::Notification n) override {
    commands.emplace_back(id, n);
    if (endOnCommands) ui::Dialog::onCommand(id, n);
  }
  void onTimer(int id) override { ticks.push_back(id); }
};

}  // namespace uitest
