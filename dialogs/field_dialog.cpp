#include "dialogs/field_dialog.h"

#include <QComboBox>
#include <QLineEdit>

#include "ui/prompts.h"

namespace dialogs {

std::string DialogFields::text(int id) const {
  return dialog_.itemText(id).toStdString();
}

void DialogFields::setText(int id, const std::string &text) {
  dialog_.setItemText(id, QString::fromStdString(text));
}

int DialogFields::selectedRow(int id) const {
  const auto *list = dialog_.control<QComboBox>(id);
  return list ? list->currentIndex() : -1;
}

void DialogFields::selectRow(int id, int row) {
  auto *list = dialog_.control<QComboBox>(id);
  if (!list) return;
  list->setCurrentIndex(row >= 0 && row < list->count() ? row : -1);
}

bool FieldDialog::updateData(Direction direction) {
  DialogFields controls(*this);
  FieldExchange fx(controls, direction);
  const bool outer = !exchanging_;
  exchanging_ = true;
  exchangeFields(fx);
  if (outer) exchanging_ = false;
  if (fx.failure()) showFailure(*fx.failure());
  return fx.ok();
}

void FieldDialog::showFailure(const FieldFailure &failure) {
  ui::messageBox(this, QString::fromStdString(failure.message));
  QWidget *w = item(failure.id);
  if (!w) return;
  w->setFocus(Qt::OtherFocusReason);
  if (auto *edit = qobject_cast<QLineEdit *>(w)) edit->selectAll();
}

void FieldDialog::onInit() {
  updateData(Direction::ToControls);
}

void FieldDialog::onCommand(int id, ui::Notification n) {
  if (id == 1 && n == ui::Notification::Clicked) {
    if (updateData(Direction::FromControls)) endDialog(1);
    return;
  }
  ui::Dialog::onCommand(id, n);
}

}  // namespace dialogs
