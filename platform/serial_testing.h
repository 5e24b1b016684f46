// For tests only: replaces the way serial ports are opened, so that a test can
// put a port of its own (for instance one that injects line errors) between
// the link library and the device. The link library's exports never reach
// this; a test links the static libraries to use it.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/serial_port.h"

namespace platform {

using SerialOpener = std::function<uint32_t(const std::string &, std::unique_ptr<SerialPort> &)>;

// Installs opener for every later openSerialPort; an empty opener restores
// the real one.
void setSerialOpenerForTests(SerialOpener opener);

// The real opener, for a test opener that wraps real ports.
uint32_t openRealSerialPort(const std::string &path, std::unique_ptr<SerialPort> &out);

}  // namespace platform
