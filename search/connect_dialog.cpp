#include "search/connect_dialog.h"

#include <QListWidget>
#include <string_view>

#include "device/speed_table.h"
#include "platform/port_map.h"
#include "resources/connect_dialog.h"
#include "resources/strings.h"
#include "ui/spin_button.h"

namespace search {

namespace {

using namespace resources;

constexpr int kInitialTo = 6;

std::string tableText(int id) {
  return resources::loadString(id).toStdString();
}

// What a user recognises a port by on this computer: its device, as the port
// map gives it ("ttyUSB0" for /dev/ttyUSB0, "pts/3", or a link's own name).
QString deviceName(int com) {
  const std::string path = platform::comDevicePath(com);
  constexpr std::string_view kDev = "/dev/";
  std::string_view name = path;
  if (name.starts_with(kDev)) {
    name.remove_prefix(kDev.size());
  } else if (const auto slash = name.rfind('/'); slash != std::string_view::npos) {
    name.remove_prefix(slash + 1);
  }
  return QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
}

std::vector<bool> ticks(const QListWidget *list) {
  std::vector<bool> out;
  if (!list) return out;
  out.reserve(static_cast<std::size_t>(list->count()));
  for (int i = 0; i < list->count(); ++i)
    out.push_back(list->item(i)->checkState() == Qt::Checked);
  return out;
}

void addItem(QListWidget *list, const QString &text, int data, bool checked) {
  auto *item = new QListWidgetItem(text, list);
  item->setData(Qt::UserRole, data);
  item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
  item->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
}

}  // namespace

CConnect::CConnect(QWidget *parent)
    : ui::Dialog(kConnectDialog, parent),
      scan_(prober_,
            {tableText(kStrIdFormat), tableText(kStrSearchDisplay), tableText(kStrNotFound)}) {}

void CConnect::onInit() {
  fillPorts();
  fillSpeeds();
  if (auto *from = control<ui::SpinButton>(kConnectFromSpin)) {
    from->setRange(kLowestAddress, kHighestAddress);
    from->setPos(kLowestAddress);
  }
  if (auto *to = control<ui::SpinButton>(kConnectToSpin)) {
    to->setRange(kLowestAddress, kHighestAddress);
    to->setPos(kInitialTo);
  }
  scan_.tick(choice());  // idle: the buttons as the choice allows, from the start
  display();
  setTimer(kTimerId, kTimerPeriodMs);
}

void CConnect::fillPorts() {
  auto *list = control<QListWidget>(kConnectPorts);
  std::vector<int> coms;
  for (const PortItem &port : listPorts(prober_)) {
    const int com = port.index + 1;
    coms.push_back(com);
    const QString device = deviceName(com);
    const QString text = device.isEmpty() ? QStringLiteral("COM%1").arg(com)
                                          : QStringLiteral("COM%1 (%2)").arg(com).arg(device);
    if (list) addItem(list, text, port.index, port.checked);
  }
  scan_.setPorts(std::move(coms));
}

void CConnect::fillSpeeds() {
  auto *list = control<QListWidget>(kConnectSpeeds);
  if (!list) return;
  for (int row = 0; row < device::kSpeedRows; ++row) {
    const auto baud = static_cast<int>(device::speedTable[static_cast<std::size_t>(row)].baud);
    addItem(list, QString::number(baud), baud, true);
  }
}

Choice CConnect::choice() const {
  Choice c;
  c.ports = ticks(control<QListWidget>(kConnectPorts));
  c.speeds = ticks(control<QListWidget>(kConnectSpeeds));
  if (const auto *from = control<ui::SpinButton>(kConnectFromSpin)) c.from = from->pos();
  if (const auto *to = control<ui::SpinButton>(kConnectToSpin)) c.to = to->pos();
  return c;
}

void CConnect::display() {
  const Controls &c = scan_.controls();
  // The address boxes are locked with their spins: the scan reads them.
  for (int id : {kConnectPorts, kConnectSpeeds, kConnectFrom, kConnectFromSpin, kConnectTo,
                 kConnectToSpin}) {
    enableItem(id, c.rangeEnabled);
  }
  setItemText(kConnectSearch, loadString(c.stopCaption ? kStrStop : kStrSearch));
  enableItem(kConnectSearch, c.searchEnabled);
  enableItem(kConnectContinue, c.continueEnabled);
  enableItem(kConnectSelect, c.selectEnabled);
  enableItem(kConnectCancel, c.cancelEnabled);
  setItemText(kConnectTrying, QString::fromStdString(scan_.tryingText()));
  setItemText(kConnectSelected, QString::fromStdString(scan_.selectedText()));
  // Enter then takes the sensor found rather than pressing the "Поиск"
  // that still has the focus from its click and would start anew.
  if (focusSelect_ && c.selectEnabled) {
    focusSelect_ = false;
    if (QWidget *select = item(kConnectSelect)) select->setFocus();
  }
}

void CConnect::onTimer(int id) {
  if (id != kTimerId) return;
  const bool wasSearching = scan_.searching();
  scan_.tick(choice(), [this] {
    display();
    repaint();  // the combination is on the screen before the probe blocks the thread
  });
  if (wasSearching && !scan_.searching() && !scan_.selectedString().empty()) focusSelect_ = true;
  display();
  // The next tick comes a full period after this one ended, so that a click
  // made during a probe (queued meanwhile) is handled first: "Стоп" takes
  // effect when the probe it interrupted ends.
  if (!isEnded()) setTimer(kTimerId, kTimerPeriodMs);
}

void CConnect::onCommand(int id, ui::Notification n) {
  if (n != ui::Notification::Clicked) return;
  switch (id) {
    case kConnectSearch:
      scan_.startStop(choice());
      display();
      break;
    case kConnectContinue:
      scan_.resume(choice());
      display();
      break;
    case kConnectSelect:
      if (!scan_.searching() && !scan_.selectedString().empty()) endDialog(id);
      break;
    case kConnectCancel:
      // "Отказ" is disabled while a search runs; Esc and the close box obey it.
      if (scan_.controls().cancelEnabled) endDialog(id);
      break;
    default:
      break;
  }
}

}  // namespace search
