#include "dialogs/additional_dialog.h"

#include "resources/settings_dialogs.h"

namespace dialogs {

using namespace resources;

CAddSet::CAddSet(QWidget *parent) : FieldDialog(kAdditionalDialog, parent) {}

void CAddSet::exchangeFields(FieldExchange &fx) {
  fx.field(kAdcMinVoltageEdit, values.adcMinVoltage, 0.0f, kMaxAdcVoltage);
  fx.field(kAdcMaxVoltageEdit, values.adcMaxVoltage, 0.0f, kMaxAdcVoltage);
  fx.field(kAdcOverloadDelayEdit, values.adcOverloadDelay, 0.0f, 5000.0f);
  fx.field(kMaxRmsStepEdit, values.maxRmsStep, 0.0f, 50.0f);
  fx.field(kMaxSpectrumLineEdit, values.maxSpectrumLine, 0.0f, 1000000.0f);
  fx.field(kStartFrequencyIndexEdit, values.startFrequencyIndex, 1.0f, 100.0f);
}

}  // namespace dialogs
