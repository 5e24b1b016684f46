// Processes and the executable.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

uint32_t currentProcessId();

// True while a process with this id exists and has not ended (a zombie that
// its parent has not yet reaped counts as ended).
bool processAlive(uint32_t pid);

// Absolute path of the running executable; empty if it cannot be read.
std::string executablePath();

}  // namespace platform
