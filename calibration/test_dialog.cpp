#include "calibration/test_dialog.h"

#include <QPushButton>

#include "calibration/test_layout.h"
#include "dialogs/numeric_edit.h"
#include "resources/test_dialog.h"

namespace calibration {

using namespace resources;

namespace {

constexpr int kValueEdits[] = {kTestValue1, kTestValue2, kTestValue3};  // registers 60, 62, 64

}  // namespace

CTestDlg::CTestDlg(device::TQVZ2 &dev, QWidget *parent)
    : ui::Dialog(kTestDialog, parent), dev_(dev) {}

CTestDlg::~CTestDlg() {
  if (testMode_) dev_.setTestMode(false);
}

dialogs::CEdit1 *CTestDlg::valueEdit(int index) const {
  return control<dialogs::CEdit1>(kValueEdits[index]);
}

void CTestDlg::onInit() {
  setTimer(kTimer, kTimerPeriodMs);
  const TestLayout layout = testLayout(dev_.snapshot().inputs.sensorType);
  if (!layout.label1.empty()) setItemText(kTestLabel1, QString::fromUtf8(layout.label1));
  if (!layout.label2.empty()) setItemText(kTestLabel2, QString::fromUtf8(layout.label2));
  for (int id : {kTestLabel1, kTestValue1, kTestLabel2, kTestValue2})
    enableItem(id, layout.firstTwoEnabled);
  showItem(kTestLabel3, layout.thirdShown);
  showItem(kTestValue3, layout.thirdShown);
  if (layout.rangesSet) {
    for (int i = 0; i < 3; ++i)
      valueEdit(i)->setRange(layout.minimum, layout.maximum);
  }
  // The first edit would otherwise take the focus and, being edited, not show
  // the sensor's value until the user leaves it.
  if (auto *ok = control<QPushButton>(1)) ok->setFocus();
  dev_.setTestMode(true);
  testMode_ = true;
}

void CTestDlg::onTimer(int id) {
  if (id != kTimer || dev_.workerState() != device::TQVZ2::Free) return;
  dev_.snapshot(rec_);
  if (rec_.port < 0 || !rec_.online) return;
  const float stored[3] = {rec_.config.testValue1, rec_.config.testValue2, rec_.config.testValue3};
  for (int i = 0; i < 3; ++i)
    valueEdit(i)->SetValue(stored[i], true, false, "%.3f");
  for (int i = 0; i < 3; ++i) {
    if (const std::optional<float> v = valueEdit(i)->takeEntered()) dev_.writeTestValue(*v, i);
  }
}

}  // namespace calibration
