// How the sensor test dialog looks for a sensor type, apart from its widgets.
#pragma once

#include <string_view>

namespace calibration {

struct TestLayout {
  // New texts of labels 1102 and 1103; empty: the template's gap and
  // displacement labels stay.
  std::string_view label1, label2;
  bool firstTwoEnabled;  // labels and edits of values 1 and 2
  bool thirdShown;       // label and edit of value 3
  bool rangesSet;        // false: the edits keep their range 0 .. 0
  float minimum, maximum;
};

// The layout for the sensor type as the sensor reports it (a float; 1.0 gap
// and vibration, 2.0 three-component, anything else neither).
TestLayout testLayout(float sensorType);

}  // namespace calibration
