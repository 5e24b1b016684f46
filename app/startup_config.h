// What sentune works out before its main window opens: where its INI file and
// Data directory lie, and which service switches its command line holds.
#pragma once

#include <string>
#include <string_view>

namespace app {

struct Switches {
  bool nd = false;      // "/nd": the sensor number may be changed whatever it is
  bool send = false;    // "/send": "Перешить..." is shown
  bool calibr = false;  // "/calibr": "Калибровка..." may be used
  bool test = false;    // "/test": "Тест" is shown
};

// Each switch is a plain, case-sensitive substring of the command line:
// "x/ndy" sets nd, "/ND" sets nothing, "/send/test" sets send and test.
Switches parseSwitches(std::string_view commandLine);

// The command-line text that follows the program name: the arguments joined
// by single blanks.
std::string commandLineText(int argc, const char *const *argv);

// The executable's path with its three-letter extension replaced by "ini", or
// ".ini" appended when it has none: /opt/q/sentune -> /opt/q/sentune.ini,
// /opt/q/sentune.exe -> /opt/q/sentune.ini.
std::string iniPathBeside(std::string_view exePath);

// The executable's directory followed by "Data/".
std::string dataDirBeside(std::string_view exePath);

struct Paths {
  std::string iniPath;
  std::string dataDir;  // ends with '/'
};

// True for a directory (ending with '/') called "bin": where an installed
// program lies (/usr/bin, /usr/local/bin, ~/.local/bin), among others'.
bool isBinDirectory(std::string_view dir);

// The INI file and Data directory beside the executable, or, when its
// directory is not writable or is a bin directory (an installed program,
// even one that root could write beside), $XDG_CONFIG_HOME/sentune/sentune.ini
// and $XDG_DATA_HOME/sentune/Data/ (with the usual defaults under $HOME).
Paths choosePaths(std::string_view exePath);

}  // namespace app
