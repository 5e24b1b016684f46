// Dialog 141: "Параметры калибровки", the vibration channel's calibration
// points Kw(Us) against a reference displacement, its graph, and the gain kw2.
#pragma once

#include "ui/template.h"

namespace resources {

inline constexpr int kKwCalibrationDialogId = 141;

enum KwCalibrationControl : int {
  kKwReferenceVolts = 1038,  // CEdit1: reference signal, V (from the E-140 or typed)
  kKwKw2 = 1039,             // CEdit1: kw2
  kKwUs = 1040,              // CEdit1: live Us, V; the voltage the "S" buttons take
  kKwReferenceUm = 1043,     // reference displacement D, um
  kKwValue = 1044,           // CEdit1: live W, um; a typed true displacement corrects kw2
  kKwFrequency = 1046,       // CComboF: vibration frequency, Hz
  kKwGap = 1048,             // live S, mm
  kKwUw = 1049,              // live Uw, mV
  kKwError = 1050,           // error of W against D, %
  kKwGraph = 1052,           // CGraph
  kKwRecompute = 2208,       // "Пересчитать Kw2"
  kKwPointGap0 = 2000,       // 2000-2007: gap at which point i was taken, "%.2f"
  kKwPointU0 = 2100,         // 2100-2107: "U=%.3f"
  kKwPointK0 = 2150,         // 2150-2157: "K=%.3f"
  kKwTake0 = 2200,           // 2200-2207: "S", take point i
  kKwClear0 = 2300,          // 2300-2307: "R", clear point i
};

inline constexpr int kKwPointCount = 8;

extern const ui::DialogTemplate kKwCalibrationDialog;

}  // namespace resources
