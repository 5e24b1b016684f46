#include "resources/main_dialog.h"

namespace resources {

namespace {

using ui::Kind;
constexpr auto kBox = ui::Sunken;  // a value field: sunken frame, text on the left

constexpr ui::ControlTemplate kControls[] = {
    // Link parameters and statistics.
    {Kind::GroupBox, ui::kNoId, "Параметры подключения", {7, 7, 103, 139}},
    {Kind::Static, ui::kNoId, "Порт:", {12, 20, 56, 8}},
    {Kind::Static, kPortBox, "", {70, 19, 35, 10}, kBox},
    {Kind::Static, ui::kNoId, "Скорость:", {12, 35, 56, 8}},
    {Kind::Static, kSpeedBox, "", {70, 34, 35, 10}, kBox},
    {Kind::Static, ui::kNoId, "Modbus - адрес:", {12, 50, 56, 8}},
    {Kind::Static, kAddressBox, "", {70, 49, 35, 10}, kBox},
    {Kind::PushButton, kSearch, "Поиск...", {33, 66, 50, 13}},
    {Kind::PushButton, kChangeExchange, "Сменить...", {33, 81, 50, 13}, ui::Disabled},
    {Kind::Static, ui::kNoId, "Успехов:", {14, 100, 40, 8}},
    {Kind::Static, kGoodReplies, "", {55, 99, 46, 10}, kBox},
    {Kind::Static, ui::kNoId, "Ошибок:", {14, 114, 40, 8}},
    {Kind::Static, kBadAttempts, "", {55, 112, 46, 10}, kBox},
    {Kind::PushButton, kResetStatistics, "Сброс", {33, 127, 50, 14}},

    // Sensor information.
    {Kind::GroupBox, ui::kNoId, "Информация с датчика", {112, 7, 289, 139}},
    {Kind::Static, ui::kNoId, "Номер:", {119, 19, 28, 8}},
    {Kind::Static, kNumberBox, "", {148, 19, 35, 10}, kBox},
    {Kind::PushButton, kChangeNumber, "Сменить...", {187, 17, 42, 14}, ui::Disabled},
    {Kind::Static, ui::kNoId, "Версия ПО:", {251, 19, 42, 8}},
    {Kind::Static, kFirmwareBox, "", {294, 19, 35, 10}, kBox},
    {Kind::PushButton, kUpload, "Перешить...", {335, 17, 50, 14}, ui::Hidden | ui::Disabled},

    // Row Y.
    {Kind::Static, kLabelY, "", {119, 44, 10, 13}},
    {Kind::Static, kValueY, "", {135, 42, 56, 16}, kBox | ui::Hidden},
    {Kind::Static, kStatusY, "", {194, 39, 87, 10}, kBox | ui::Hidden},
    {Kind::Static, kMinY, "", {194, 50, 42, 10}, kBox | ui::Hidden},
    {Kind::Static, kMaxY, "", {239, 50, 42, 10}, kBox | ui::Hidden},
    {Kind::CheckBox, kFlagY, "", {122, 56, 8, 10}, ui::Hidden},
    // Row S/Z.
    {Kind::Static, kLabelSZ, "", {119, 68, 10, 13}},
    {Kind::Static, kValueSZ, "", {135, 66, 56, 16}, kBox},
    {Kind::Static, kStatusSZ, "", {194, 63, 87, 10}, kBox},
    {Kind::Static, kMinSZ, "", {194, 74, 42, 10}, kBox},
    {Kind::Static, kMaxSZ, "", {239, 74, 42, 10}, kBox},
    {Kind::CheckBox, kFlagSZ, "", {122, 80, 8, 10}},
    // Row W/X.
    {Kind::Static, kLabelWX, "", {119, 92, 10, 13}},
    {Kind::Static, kValueWX, "", {135, 90, 56, 16}, kBox},
    {Kind::Static, kStatusWX, "", {194, 87, 87, 10}, kBox},
    {Kind::Static, kMinWX, "", {194, 98, 42, 10}, kBox},
    {Kind::Static, kMaxWX, "", {239, 98, 42, 10}, kBox},
    {Kind::CheckBox, kFlagWX, "", {122, 105, 8, 10}},

    // Setpoints: labels 2004, 2005, 2000-2003 beside boxes 1061, 1062, 1057-1060.
    {Kind::Static, kSetpointLabel0 + 4, "", {285, 37, 16, 9}},
    {Kind::Static, kSetpointBox0 + 4, "", {302, 36, 35, 10}, kBox},
    {Kind::Static, kSetpointLabel0 + 5, "", {285, 49, 16, 9}},
    {Kind::Static, kSetpointBox0 + 5, "", {302, 48, 35, 10}, kBox},
    {Kind::Static, kSetpointLabel0 + 0, "", {285, 63, 16, 9}},
    {Kind::Static, kSetpointBox0 + 0, "", {302, 62, 35, 10}, kBox},
    {Kind::Static, kSetpointLabel0 + 1, "", {285, 75, 16, 9}},
    {Kind::Static, kSetpointBox0 + 1, "", {302, 74, 35, 10}, kBox},
    {Kind::Static, kSetpointLabel0 + 2, "", {285, 89, 16, 9}},
    {Kind::Static, kSetpointBox0 + 2, "", {302, 88, 35, 10}, kBox},
    {Kind::Static, kSetpointLabel0 + 3, "", {285, 101, 16, 9}},
    {Kind::Static, kSetpointBox0 + 3, "", {302, 100, 35, 10}, kBox},
    {Kind::Static, ui::kNoId, "Na", {340, 37, 16, 8}},
    {Kind::Static, kAlarmSamples, "", {358, 36, 35, 10}, kBox},
    {Kind::Static, ui::kNoId, "Мин", {340, 49, 16, 8}},
    {Kind::Static, kMinValue, "", {358, 48, 35, 10}, kBox},
    {Kind::Static, ui::kNoId, "Макс", {340, 61, 17, 8}},
    {Kind::Static, kMaxValue, "", {358, 60, 35, 10}, kBox},
    {Kind::PushButton, kTest, "Тест", {343, 73, 50, 14}, ui::Hidden},
    {Kind::PushButton, kAdditional, "Доп. настр.", {343, 92, 50, 14}},

    // Test signal and auxiliary values.
    {Kind::CheckBox, kTestSignal, "тестовый сигнал", {146, 113, 70, 10}, ui::Disabled},
    {Kind::Static, ui::kNoId, "Пр.S", {224, 114, 17, 8}},
    {Kind::Static, kAuxS, "", {242, 113, 35, 10}, kBox},
    {Kind::Static, ui::kNoId, "Пр.W", {281, 114, 20, 8}},
    {Kind::Static, kAuxW, "", {302, 113, 35, 10}, kBox},
    {Kind::Static, ui::kNoId, "Авар", {340, 114, 17, 8}},
    {Kind::Static, kAuxAlarm, "", {358, 113, 35, 10}, kBox},
    {Kind::PushButton, kResetLimits, "Сброс границ", {127, 127, 50, 14}},
    {Kind::PushButton, kCalibrate, "Калибровка...", {179, 127, 50, 14}},
    {Kind::PushButton, kReadTables, "Прочитать...", {231, 127, 50, 14}, ui::Disabled},
    {Kind::PushButton, kWriteTables, "Записать...", {283, 127, 50, 14}, ui::Disabled},
    {Kind::PushButton, kSetpoints, "Уставки...", {335, 127, 50, 14}, ui::Disabled},

    // Last error and the reference ADC.
    {Kind::GroupBox, ui::kNoId, "Последняя ошибка обмена с датчиком", {7, 148, 394, 32}},
    {Kind::Static, kLastError, "", {16, 160, 376, 12}, kBox | ui::NoPrefix},
    {Kind::GroupBox, ui::kNoId, "Обмен с АЦП", {7, 180, 394, 56}},
    {Kind::Static, kAdcValue, "", {159, 192, 88, 16}, kBox},
    {Kind::Static, kAdcStatus, "", {16, 216, 376, 12}, kBox | ui::NoPrefix},
    {Kind::PushButton, kExit, "Выход", {175, 243, 56, 14}},
};

}  // namespace

const ui::DialogTemplate kMainDialog{
    kMainDialogId, "Тестирование и настройка датчиков QVZ", {408, 264},
    {"Arial", 12}, ui::SysMenu | ui::MinimizeBox,           kControls};

}  // namespace resources
