// CChND, dialog 143: a new sensor number, entered as an unsigned decimal.
#pragma once

#include <cstdint>

#include "dialogs/field_dialog.h"

namespace dialogs {

class CChND : public FieldDialog {
 public:
  explicit CChND(QWidget *parent = nullptr);

  uint32_t number = 0;  // the sensor keeps it as a signed 32-bit field

 protected:
  void exchangeFields(FieldExchange &fx) override;
};

}  // namespace dialogs
