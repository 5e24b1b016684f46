// "Поиск..." in the real main window: the search dialog runs while the device
// rests, "Отказ" brings the old link back, "Выбор" moves the link to the
// sensor found, stores it in the INI file, and a new start uses it.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <memory>
#include <string>

#include "app/globals.h"
#include "app/main_window.h"
#include "platform/ini.h"
#include "resources/connect_dialog.h"
#include "resources/main_dialog.h"
#include "search/connect_dialog.h"
#include "tests/search/search_bench.h"
#include "tests/support/dialog_driver.h"
#include "tests/support/qt_app.h"

namespace {

using search::CConnect;
using searchtest::kOnCom1;
using searchtest::kOnCom2;
using testsupport::waitUntil;

// A start-up or a search on a loaded machine under a sanitizer.
constexpr int kOnlineMs = 30000;

class SearchCommand : public ::testing::Test {
 protected:
  void open() {
    window = std::make_unique<app::CSentuneDlg>(bench.sim().exePath(), "");
    window->show();
  }
  void TearDown() override { window.reset(); }

  QString text(int id) const { return window->itemText(id); }
  // Live values of the sensor with this number, on this port, speed and address.
  ::testing::AssertionResult liveOn(const searchtest::SensorAt &s) {
    static const QRegularExpression number(QStringLiteral("^\\s*-?\\d+(\\.\\d+)?$"));
    const bool ok = waitUntil(
        [&] {
          return text(resources::kNumberBox) == QString::number(s.number) &&
                 number.match(text(resources::kValueSZ)).hasMatch();
        },
        kOnlineMs);
    const QString port = text(resources::kPortBox), speed = text(resources::kSpeedBox),
                  address = text(resources::kAddressBox);
    if (ok && port == QStringLiteral("COM%1").arg(s.com) && speed == QString::number(s.baud) &&
        address == QString::number(s.address)) {
      return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure()
           << "number '" << text(resources::kNumberBox).toStdString() << "' on '"
           << port.toStdString() << "', " << speed.toStdString() << ", address "
           << address.toStdString() << "; last error '" << text(resources::kLastError).toStdString()
           << "'";
  }
  std::string ini(const char *key) {
    return platform::iniReadString(bench.sim().iniPath(), "SETTINGS", key, "");
  }
  // Presses "Поиск..." and lets `act` work the dialog; true when it appeared.
  bool search(std::function<void(CConnect &)> act) {
    bool seen = false;
    testsupport::whenModal<CConnect>(
        [act = std::move(act)](CConnect &d) {
          act(d);
          if (!d.isEnded()) d.endDialog(resources::kConnectCancel);  // after a failed assertion
        },
        &seen);
    QTest::mouseClick(window->control<QPushButton>(resources::kSearch), Qt::LeftButton);
    return seen;
  }

  searchtest::SearchBench bench;
  std::unique_ptr<app::CSentuneDlg> window;
};

void tick(QListWidget *list, int row, bool on) {
  list->setCurrentRow(row);
  if ((list->item(row)->checkState() == Qt::Checked) != on) QTest::keyClick(list, Qt::Key_Space);
}

TEST_F(SearchCommand, CancelKeepsTheLinkAndSelectMovesItForThisAndTheNextStart) {
  open();
  ASSERT_TRUE(liveOn(kOnCom1));
  const std::string oldIdStr = ini("IdStr");

  // "Отказ": the device rested while the dialog was open, and its link comes back.
  bool held = false;
  ASSERT_TRUE(search([&](CConnect &d) {
    held = app::theDevice->workerState() == device::TQVZ2::Held;
    QTest::mouseClick(d.control<QPushButton>(resources::kConnectCancel), Qt::LeftButton);
  }));
  EXPECT_TRUE(held);
  EXPECT_EQ(app::theDevice->workerState(), device::TQVZ2::Free);
  const uint64_t polls = bench.sensor(1).requestCount(4);
  EXPECT_TRUE(bench.sensor(1).waitForRequests(4, polls + 3, std::chrono::milliseconds(kOnlineMs)));
  EXPECT_TRUE(liveOn(kOnCom1));
  EXPECT_EQ(ini("IdStr"), oldIdStr);
  EXPECT_EQ(ini("DeviceId"), "1");

  // A search over COM2 at 9600 and 19200, address 7, and "Выбор".
  QString chosen;
  ASSERT_TRUE(search([&](CConnect &d) {
    auto *ports = d.control<QListWidget>(resources::kConnectPorts);
    auto *speeds = d.control<QListWidget>(resources::kConnectSpeeds);
    tick(ports, 0, false);  // COM1
    for (int row = 0; row < speeds->count(); ++row)
      tick(speeds, row, row == 3 || row == 4);
    for (int id : {resources::kConnectFrom, resources::kConnectTo}) {
      auto *edit = d.control<QLineEdit>(id);
      QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
      QTest::keyClicks(edit, "7");
    }
    QTest::mouseClick(d.control<QPushButton>(resources::kConnectSearch), Qt::LeftButton);
    ASSERT_TRUE(waitUntil([&] { return d.isItemEnabled(resources::kConnectSelect); }, kOnlineMs));
    chosen = d.itemText(resources::kConnectSelected);
    QTest::mouseClick(d.control<QPushButton>(resources::kConnectSelect), Qt::LeftButton);
  }));
  EXPECT_EQ(chosen, "IdStr=\"rk.dll,2,19200,100,300\", адрес=7");
  EXPECT_TRUE(liveOn(kOnCom2));
  EXPECT_EQ(ini("IdStr"), "rk.dll,2,19200,100,300");
  EXPECT_EQ(ini("DeviceId"), "7");

  // The next start goes to the sensor found.
  window.reset();
  open();
  EXPECT_TRUE(liveOn(kOnCom2));
}

}  // namespace
