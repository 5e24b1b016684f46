// The application object: it runs the main window as a modal dialog, and the
// process ends when that window closes.
#pragma once

#include <QApplication>

namespace app {

class SentuneApplication : public QApplication {
 public:
  SentuneApplication(int &argc, char **argv);

  // Runs the main window until it closes, or until SIGTERM, SIGINT or SIGHUP
  // asks the program to end, and returns the exit status (0 either way).
  int runMainWindow();

 private:
  std::string exePath_;
  std::string commandLine_;
};

}  // namespace app
