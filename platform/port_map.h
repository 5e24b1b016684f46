// The map from COM numbers to serial device paths.
#pragma once

#include <string>

namespace platform {

// The device path of "COM<com>" (com counted from 1):
//  1. the environment variable RK_COM<com>, when set and not empty;
//  2. else a line "COM<com>=<path>" of the port map file: $RK_PORTS when set,
//     else ~/.config/rk/ports, else /etc/rk/ports (the first that exists);
//     blank lines and lines starting with '#' are skipped, blanks around the
//     name and the path are dropped, the name is matched without regard to
//     letter case;
//  3. else the default: COM1-COM4 /dev/ttyS0-3, COM5-COM12 /dev/ttyUSB0-7,
//     COM13-COM16 /dev/ttyACM0-3.
// Empty for a COM number outside 1..16 without an entry.
std::string comDevicePath(int com);

}  // namespace platform
