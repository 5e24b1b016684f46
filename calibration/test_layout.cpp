#include "calibration/test_layout.h"

namespace calibration {

TestLayout testLayout(float sensorType) {
  if (sensorType == 1.0f) return {{}, {}, true, false, true, -6.0f, 6.0f};
  if (sensorType == 2.0f) return {"Ось Z, мм/с:", "Ось X, мм/с:", true, true, true, 0.0f, 100.0f};
  return {{}, {}, false, false, false, 0.0f, 0.0f};
}

}  // namespace calibration
