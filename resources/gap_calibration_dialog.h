// Dialog 149: "Параметры калибровки канала S", the gap channel's calibration
// points S(Us), its graph, and the gain ks2.
#pragma once

#include "ui/template.h"

namespace resources {

inline constexpr int kGapCalibrationDialogId = 149;

enum GapCalibrationControl : int {
  kGapUs = 1040,         // CEdit1: live Us, V; the voltage the "S" buttons take
  kGapKs2 = 1041,        // CEdit1: ks2
  kGapValue = 1042,      // CEdit1: live S, mm; a typed true gap corrects ks2
  kGapReference = 1046,  // CEdit1: reference gap of the error, mm
  kGapGraph = 1052,      // CGraph
  kGapError = 1058,      // error of S against the reference gap, %
  kGapPointRef0 = 2000,  // 2000-2009: "S=%.3f" of point i's reference gap
  kGapPointU0 = 2100,    // 2100-2109: "U=%.3f" of point i's voltage
  kGapTake0 = 2200,      // 2200-2209: "S", take point i
  kGapClear0 = 2300,     // 2300-2309: "R", clear point i
};

inline constexpr int kGapPointCount = 10;

extern const ui::DialogTemplate kGapCalibrationDialog;

}  // namespace resources
