#include "calibration_data.h"

namespace device {

void resetCalibration(CalibrationData &cal) {
  cal = CalibrationData{};
  for (auto &p : cal.gapPoints)
    p = {-1.0f, -1.0, 1.0};
  for (auto &p : cal.kwPoints)
    p = {-1.0f, -1.0, 1.0};
  cal.gapComputed[0] = kNoCurveMarker;
  cal.kwComputed[0] = kNoCurveMarker;
}

}  // namespace device
