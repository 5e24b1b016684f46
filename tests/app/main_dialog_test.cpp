// Dialog 138 as realised: the refresh finds every control it drives by id
// (a missing id would be skipped without a sound), and the window starts in
// the states the first refresh builds on.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <set>

#include "resources/main_dialog.h"
#include "tests/support/qt_app.h"
#include "ui/dialog.h"

namespace {

using namespace resources;

enum class W { Box, Label, Button, Check };

struct Control {
  int id;
  W kind;
  const char *text;  // caption of a button or check box
  bool hidden, disabled;
};

// Every control with an id, as the window starts.
constexpr Control kControls[] = {
    {kPortBox, W::Box, "", false, false},
    {kSpeedBox, W::Box, "", false, false},
    {kAddressBox, W::Box, "", false, false},
    {kSearch, W::Button, "Поиск...", false, false},
    {kChangeExchange, W::Button, "Сменить...", false, true},
    {kGoodReplies, W::Box, "", false, false},
    {kBadAttempts, W::Box, "", false, false},
    {kResetStatistics, W::Button, "Сброс", false, false},
    {kNumberBox, W::Box, "", false, false},
    {kChangeNumber, W::Button, "Сменить...", false, true},
    {kFirmwareBox, W::Box, "", false, false},
    {kUpload, W::Button, "Перешить...", true, true},
    {kLabelY, W::Label, "", false, false},
    {kValueY, W::Box, "", true, false},
    {kStatusY, W::Box, "", true, false},
    {kMinY, W::Box, "", true, false},
    {kMaxY, W::Box, "", true, false},
    {kFlagY, W::Check, "", true, false},
    {kLabelSZ, W::Label, "", false, false},
    {kValueSZ, W::Box, "", false, false},
    {kStatusSZ, W::Box, "", false, false},
    {kMinSZ, W::Box, "", false, false},
    {kMaxSZ, W::Box, "", false, false},
    {kFlagSZ, W::Check, "", false, false},
    {kLabelWX, W::Label, "", false, false},
    {kValueWX, W::Box, "", false, false},
    {kStatusWX, W::Box, "", false, false},
    {kMinWX, W::Box, "", false, false},
    {kMaxWX, W::Box, "", false, false},
    {kFlagWX, W::Check, "", false, false},
    {kSetpointLabel0 + 0, W::Label, "", false, false},
    {kSetpointLabel0 + 1, W::Label, "", false, false},
    {kSetpointLabel0 + 2, W::Label, "", false, false},
    {kSetpointLabel0 + 3, W::Label, "", false, false},
    {kSetpointLabel0 + 4, W::Label, "", false, false},
    {kSetpointLabel0 + 5, W::Label, "", false, false},
    {kSetpointBox0 + 0, W::Box, "", false, false},
    {kSetpointBox0 + 1, W::Box, "", false, false},
    {kSetpointBox0 + 2, W::Box, "", false, false},
    {kSetpointBox0 + 3, W::Box, "", false, false},
    {kSetpointBox0 + 4, W::Box, "", false, false},
    {kSetpointBox0 + 5, W::Box, "", false, false},
    {kAlarmSamples, W::Box, "", false, false},
    {kMinValue, W::Box, "", false, false},
    {kMaxValue, W::Box, "", false, false},
    {kTest, W::Button, "Тест", true, false},
    {kAdditional, W::Button, "Доп. настр.", false, false},
    {kTestSignal, W::Check, "тестовый сигнал", false, true},
    {kAuxS, W::Box, "", false, false},
    {kAuxW, W::Box, "", false, false},
    {kAuxAlarm, W::Box, "", false, false},
    {kResetLimits, W::Button, "Сброс границ", false, false},
    {kCalibrate, W::Button, "Калибровка...", false, false},
    {kReadTables, W::Button, "Прочитать...", false, true},
    {kWriteTables, W::Button, "Записать...", false, true},
    {kSetpoints, W::Button, "Уставки...", false, true},
    {kLastError, W::Box, "", false, false},
    {kAdcValue, W::Box, "", false, false},
    {kAdcStatus, W::Box, "", false, false},
    {kExit, W::Button, "Выход", false, false},
};

TEST(MainDialog, EveryControlIsThereInItsStartingState) {
  testsupport::qtApp();
  ui::Dialog d(kMainDialog);
  EXPECT_EQ(d.objectName(), "138");
  EXPECT_EQ(d.windowTitle(), "Тестирование и настройка датчиков QVZ");

  std::set<int> ids;
  for (const Control &c : kControls) {
    SCOPED_TRACE(c.id);
    ids.insert(c.id);
    QWidget *w = d.item(c.id);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->objectName(), QString::number(c.id));
    switch (c.kind) {
      case W::Box:
      case W::Label: {
        auto *label = qobject_cast<QLabel *>(w);
        ASSERT_NE(label, nullptr);
        EXPECT_TRUE(label->text().isEmpty());
        // A box has a sunken frame; a row or setpoint label has none.
        EXPECT_EQ(label->frameShadow() == QFrame::Sunken && label->frameShape() != QFrame::NoFrame,
                  c.kind == W::Box);
        break;
      }
      case W::Button:
        ASSERT_NE(qobject_cast<QPushButton *>(w), nullptr);
        EXPECT_EQ(d.itemText(c.id), QString::fromUtf8(c.text));
        break;
      case W::Check:
        ASSERT_NE(qobject_cast<QCheckBox *>(w), nullptr);
        EXPECT_EQ(d.itemText(c.id), QString::fromUtf8(c.text));
        EXPECT_FALSE(d.isItemChecked(c.id));
        break;
    }
    EXPECT_EQ(d.isItemShown(c.id), !c.hidden);
    EXPECT_EQ(d.isItemEnabled(c.id), !c.disabled);
  }

  // Nothing else carries an id: labels and frames are never looked up.
  int withId = 0;
  for (const ui::ControlTemplate &c : kMainDialog.controls) {
    if (c.id != ui::kNoId) {
      ++withId;
      EXPECT_TRUE(ids.count(c.id)) << "unexpected control " << c.id;
    }
  }
  EXPECT_EQ(withId, static_cast<int>(std::size(kControls))) << "an id used twice";
}

}  // namespace
