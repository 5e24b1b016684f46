#include "dialogs/exchange_params_dialog.h"

#include <QComboBox>

#include "device/speed_table.h"
#include "resources/settings_dialogs.h"

namespace dialogs {

CChCon::CChCon(QWidget *parent) : FieldDialog(resources::kExchangeDialog, parent) {}

void CChCon::onInit() {
  // The list's rows are the rows of the speed table: one can only pick a
  // speed the sensor knows.
  if (auto *list = control<QComboBox>(resources::kSpeedList)) {
    for (int row = 0; row < device::kSpeedRows; ++row)
      list->addItem(QString::number(device::speedTable[row].baud));
  }
  FieldDialog::onInit();
}

void CChCon::exchangeFields(FieldExchange &fx) {
  fx.field(resources::kAddressEdit, address, 0, 247);
  fx.list(resources::kSpeedList, speedIndex);
}

}  // namespace dialogs
