#include "app/startup_config.h"

#include <unistd.h>

#include <cstdlib>

namespace app {

namespace {

std::string_view directoryOf(std::string_view path) {
  const auto slash = path.rfind('/');
  return slash == std::string_view::npos ? std::string_view() : path.substr(0, slash + 1);
}

// $name, else $HOME/fallback, else fallback under the current directory.
std::string xdgDir(const char *name, const char *fallback) {
  if (const char *v = std::getenv(name); v && *v == '/') return v;
  const char *home = std::getenv("HOME");
  return std::string(home ? home : ".") + "/" + fallback;
}

}  // namespace

Switches parseSwitches(std::string_view commandLine) {
  const auto has = [&](std::string_view s) {
    return commandLine.find(s) != std::string_view::npos;
  };
  return {.nd = has("/nd"), .send = has("/send"), .calibr = has("/calibr"), .test = has("/test")};
}

std::string commandLineText(int argc, const char *const *argv) {
  std::string text;
  for (int i = 1; i < argc; ++i) {
    if (i > 1) text += ' ';
    text += argv[i];
  }
  return text;
}

std::string iniPathBeside(std::string_view exePath) {
  const std::string_view name = exePath.substr(directoryOf(exePath).size());
  const auto dot = name.rfind('.');
  if (dot != std::string_view::npos && dot > 0 && name.size() - dot == 4) {
    return std::string(exePath.substr(0, exePath.size() - 3)) + "ini";
  }
  return std::string(exePath) + ".ini";
}

std::string dataDirBeside(std::string_view exePath) {
  return std::string(directoryOf(exePath)) + "Data/";
}

bool isBinDirectory(std::string_view dir) {
  return dir == "bin/" || dir.ends_with("/bin/");
}

Paths choosePaths(std::string_view exePath) {
  const std::string dir(directoryOf(exePath));
  if (!dir.empty() && !isBinDirectory(dir) && ::access(dir.c_str(), W_OK) == 0) {
    return {iniPathBeside(exePath), dataDirBeside(exePath)};
  }
  return {xdgDir("XDG_CONFIG_HOME", ".config") + "/sentune/sentune.ini",
          xdgDir("XDG_DATA_HOME", ".local/share") + "/sentune/Data/"};
}

}  // namespace app
