// CChCon, dialog 139: a new line speed and Modbus address for the sensor.
// The caller sets the members, runs the dialog and, when it ended with
// "Сменить" (1), reads them back.
#pragma once

#include <cstdint>

#include "dialogs/field_dialog.h"

namespace dialogs {

class CChCon : public FieldDialog {
 public:
  explicit CChCon(QWidget *parent = nullptr);

  uint8_t address = 0;  // 0-247 after "Сменить"
  int speedIndex = -1;  // row of speedTable; -1 when none is chosen

 protected:
  void onInit() override;
  void exchangeFields(FieldExchange &fx) override;
};

}  // namespace dialogs
