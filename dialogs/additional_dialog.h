// CAddSet, dialog 157: the additional measurement settings of a
// three-component sensor (holding registers 68-79), each checked against its
// bounds when the user presses "Сменить".
#pragma once

#include "device/qvz2.h"
#include "dialogs/field_dialog.h"

namespace dialogs {

class CAddSet : public FieldDialog {
 public:
  explicit CAddSet(QWidget *parent = nullptr);

  // The members, in dialog order; all 0 until the caller sets them.
  device::AdditionalSettings values{};

  // Bounds of the ADC voltages (x10 mV): the float nearest to 614.4, so that
  // an entry of exactly 614.4 passes.
  static constexpr float kMaxAdcVoltage = 614.4f;

 protected:
  void exchangeFields(FieldExchange &fx) override;
};

}  // namespace dialogs
