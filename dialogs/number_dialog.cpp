#include "dialogs/number_dialog.h"

#include "resources/settings_dialogs.h"

namespace dialogs {

CChND::CChND(QWidget *parent) : FieldDialog(resources::kNumberDialog, parent) {}

void CChND::exchangeFields(FieldExchange &fx) {
  fx.field(resources::kNumberEdit, number);
}

}  // namespace dialogs
