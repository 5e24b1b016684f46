#include "resources/settings_dialogs.h"

namespace resources {

namespace {

using ui::Kind;

constexpr ui::ControlTemplate kExchangeControls[] = {
    {Kind::Static, ui::kNoId, "Скорость обмена:", {18, 24, 70, 9}},
    {Kind::ComboList, kSpeedList, "", {98, 21, 51, 67}},
    {Kind::Static, ui::kNoId, "Modbus - адрес:", {18, 43, 70, 9}},
    {Kind::Edit, kAddressEdit, "", {98, 41, 50, 14}},
    {Kind::DefPushButton, 1, "Сменить", {32, 74, 50, 14}},
    {Kind::PushButton, 2, "Отказ", {86, 74, 50, 14}},
};

constexpr ui::ControlTemplate kNumberControls[] = {
    {Kind::Static, ui::kNoId, "Новый номер:", {18, 24, 54, 9}},
    {Kind::Edit, kNumberEdit, "", {78, 22, 65, 14}},
    {Kind::DefPushButton, 1, "Сменить", {32, 50, 50, 14}},
    {Kind::PushButton, 2, "Отказ", {86, 50, 50, 14}},
};

// Labels sit two units below the top of their field, so that their text
// stands level with the field's; every field starts at x 185, so that the
// column is straight. Labels 2000-2005 are filled by sensor kind.
constexpr ui::ControlTemplate kSetpointsControls[] = {
    {Kind::Static, kSetpointLabelFirst + 0, "", {17, 20, 160, 9}},
    {Kind::Edit, kWarn1Edit, "", {185, 18, 55, 14}},
    {Kind::Static, kSetpointLabelFirst + 1, "", {17, 39, 160, 9}},
    {Kind::Edit, kAlarm1Edit, "", {185, 37, 55, 14}},
    {Kind::Static, kSetpointLabelFirst + 2, "", {17, 58, 160, 9}},
    {Kind::Edit, kWarn2Edit, "", {185, 56, 55, 14}},
    {Kind::Static, kSetpointLabelFirst + 3, "", {17, 77, 160, 9}},
    {Kind::Edit, kAlarm2Edit, "", {185, 75, 55, 14}},
    {Kind::Static, kSetpointLabelFirst + 4, "", {17, 97, 160, 9}},
    {Kind::Edit, kWarn3Edit, "", {185, 95, 55, 14}},
    {Kind::Static, kSetpointLabelFirst + 5, "", {17, 117, 160, 9}},
    {Kind::Edit, kAlarm3Edit, "", {185, 115, 55, 14}},
    {Kind::Static, ui::kNoId, "Кол-во отсчетов для формирования аварии", {17, 138, 160, 9}},
    {Kind::Edit, kAlarmSamplesEdit, "", {185, 136, 55, 14}},
    {Kind::Static, ui::kNoId, "Минимально возможное значение", {17, 159, 160, 9}},
    {Kind::Edit, kMinValueEdit, "", {185, 157, 55, 14}},
    {Kind::Static, ui::kNoId, "Максимально возможное значение", {17, 180, 160, 9}},
    {Kind::Edit, kMaxValueEdit, "", {185, 178, 55, 14}},
    {Kind::Static, 2006, "Измеренная величина, соотв. максим. току", {17, 201, 160, 9}},
    {Kind::Edit, kFullScaleEdit, "", {185, 199, 55, 14}},
    {Kind::Static, 2007, "Режим работы ЦАП, канал 1", {17, 221, 160, 9}},
    {Kind::ComboList, kDacMode1List, "", {185, 219, 55, 30}},
    {Kind::Static, 2008, "Режим работы ЦАП, канал 2", {17, 243, 160, 9}},
    {Kind::ComboList, kDacMode2List, "", {185, 241, 55, 30}},
    {Kind::Static, 2009, "Количество отсчетов для усреднения", {17, 261, 160, 9}},
    {Kind::Edit, kAveragingEdit, "", {185, 259, 55, 14}},
    {Kind::DefPushButton, 1, "Сменить", {76, 291, 50, 14}},
    {Kind::PushButton, 2, "Отказ", {130, 291, 50, 14}},
};

constexpr ui::ControlTemplate kAdditionalControls[] = {
    {Kind::Static, 2000, "Мин. значение напряжения АЦП, x10 мВ", {17, 18, 160, 9}},
    {Kind::Edit, kAdcMinVoltageEdit, "", {185, 16, 55, 14}},
    {Kind::Static, 2001, "Макс. значение напряжения АЦП, x10 мВ", {17, 36, 160, 9}},
    {Kind::Edit, kAdcMaxVoltageEdit, "", {185, 34, 55, 14}},
    {Kind::Static, 2002, "Задержка после перегрузки АЦП, мс", {17, 55, 160, 9}},
    {Kind::Edit, kAdcOverloadDelayEdit, "", {185, 53, 55, 14}},
    // Two lines: the text is wider than the column.
    {Kind::Static, 2003, "Макс. изм. СКЗ виброск. за цикл измерения, мм/с", {17, 70, 160, 17}},
    {Kind::Edit, kMaxRmsStepEdit, "", {185, 71, 55, 14}},
    {Kind::Static, 2004, "Максимальное значение линии спектра", {17, 91, 160, 9}},
    {Kind::Edit, kMaxSpectrumLineEdit, "", {185, 89, 55, 14}},
    {Kind::Static, 2005, "Начальный индекс частоты", {17, 108, 160, 9}},
    {Kind::Edit, kStartFrequencyIndexEdit, "", {185, 106, 55, 14}},
    {Kind::DefPushButton, 1, "Сменить", {77, 161, 50, 14}},
    {Kind::PushButton, 2, "Отказ", {131, 161, 50, 14}},
};

}  // namespace

const ui::DialogTemplate kExchangeDialog{kExchangeDialogId, "Сменить параметры обмена датчика",
                                         {167, 95},         {"MS Sans Serif", 8},
                                         ui::SysMenu,       kExchangeControls};

const ui::DialogTemplate kNumberDialog{kNumberDialogId, "Сменить номер датчика",
                                       {167, 71},       {"MS Sans Serif", 8},
                                       ui::SysMenu,     kNumberControls};

const ui::DialogTemplate kSetpointsDialog{kSetpointsDialogId, "Сменить уставки",
                                          {256, 312},         {"Arial", 12},
                                          ui::SysMenu,        kSetpointsControls};

const ui::DialogTemplate kAdditionalDialog{kAdditionalDialogId, "Дополнительные настройки",
                                           {256, 182},          {"Arial", 12},
                                           ui::SysMenu,         kAdditionalControls};

}  // namespace resources
