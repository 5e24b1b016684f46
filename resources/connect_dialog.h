// Dialog 131: "Поиск датчика", the sensor search.
#pragma once

#include "ui/template.h"

namespace resources {

inline constexpr int kConnectDialogId = 131;

// Control ids of the search dialog.
enum ConnectControl : int {
  kConnectSelect = 1,         // "Выбор"
  kConnectCancel = 2,         // "Отказ"
  kConnectSearch = 1008,      // "Поиск" / "Стоп"
  kConnectContinue = 1009,    // "Продолжение"
  kConnectPorts = 1010,       // COM ports, with check boxes
  kConnectSpeeds = 1011,      // baud rates, with check boxes
  kConnectFrom = 1012,        // first address
  kConnectTo = 1013,          // last address
  kConnectFromSpin = 1014,    // 0-247
  kConnectToSpin = 1015,      // 0-247
  kConnectTrying = 1017,      // the combination being tried
  kConnectSelected = 1018,    // the sensor found, or "Контроллер не найден"
  kConnectPortsGroup = 1024,  // "Порты"
  kConnectSpeedsGroup = 1025,
  kConnectAddressGroup = 1026,
  kConnectFromLabel = 1027,
  kConnectToLabel = 1028,
};

extern const ui::DialogTemplate kConnectDialog;

}  // namespace resources
