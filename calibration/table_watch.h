// Tells a calibration dialog when the tables the sensor stores have changed
// in its snapshot, so that its graph is repainted then and not on every tick.
#pragma once

#include <cstring>

#include "device/register_map.h"

namespace calibration {

class TableWatch {
 public:
  explicit TableWatch(const device::TableImage &seen) : seen_(seen) {}

  // True when `now` differs from the tables seen last, which it then becomes.
  bool changed(const device::TableImage &now) {
    if (std::memcmp(&seen_, &now, sizeof now) == 0) return false;
    seen_ = now;
    return true;
  }

 private:
  device::TableImage seen_;
};

}  // namespace calibration
