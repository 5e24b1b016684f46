// CConnect: dialog 131 "Поиск датчика". The user ticks ports and speeds and
// gives an address range; every 50 ms the dialog tries one combination
// through the link library, shows it before trying it, and offers the first
// sensor that answers. "Выбор" ends it with code 1 and the result in
// selectedString() and address(); "Отказ" or Esc with code 2.
//
// The caller keeps the device's own link closed while the dialog runs: the
// dialog opens and closes the ports itself.
#pragma once

#include <cstdint>
#include <string>

#include "search/prober.h"
#include "search/scan.h"
#include "ui/dialog.h"

namespace search {

class CConnect : public ui::Dialog {
 public:
  static constexpr int kTimerId = 1;
  static constexpr int kTimerPeriodMs = 50;

  explicit CConnect(QWidget *parent = nullptr);

  // The identification string of the sensor chosen (empty when none).
  const std::string &selectedString() const { return scan_.selectedString(); }
  // Its Modbus address, the low 8 bits of the address tried.
  uint8_t address() const { return static_cast<uint8_t>(scan_.address()); }
  const Scan &scan() const { return scan_; }

 protected:
  // Lists the ports that exist and the speeds, sets the address spins and
  // starts the timer.
  void onInit() override;
  void onCommand(int id, ui::Notification n) override;
  void onTimer(int id) override;

 private:
  Choice choice() const;
  void display();  // the scan's texts and control states into the controls
  void fillPorts();
  void fillSpeeds();

  RkProber prober_;
  Scan scan_;
  bool focusSelect_ = false;  // a sensor was found: "Выбор" takes the focus once usable
};

}  // namespace search
