// The process-wide state of sentune: its INI file and the one device and
// reference-ADC objects. The main window creates theDevice, then theAdc, when
// it opens, and deletes theAdc, then theDevice, when it is destroyed; every
// dialog reaches the sensor and the ADC through them. User-interface thread.
#pragma once

#include <memory>
#include <string>

#include "adc/te140.h"
#include "device/qvz2.h"

namespace app {

extern std::string iniPath;
extern std::unique_ptr<device::TQVZ2> theDevice;
extern std::unique_ptr<TE140> theAdc;

}  // namespace app
