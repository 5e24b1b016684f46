#include "app/application.h"

#include "app/main_window.h"
#include "app/startup_config.h"
#include "app/termination_signals.h"

namespace app {

SentuneApplication::SentuneApplication(int &argc, char **argv)
    : QApplication(argc, argv),
      exePath_(applicationFilePath().toStdString()),
      commandLine_(commandLineText(argc, argv)) {
  setApplicationName(QStringLiteral("sentune"));
  setApplicationDisplayName(QStringLiteral("sentune"));
}

int SentuneApplication::runMainWindow() {
  TerminationSignals endOnSignal;  // end through the main window's shutdown, not by the signal
  CSentuneDlg mainWindow(exePath_, commandLine_);
  mainWindow.runModal();
  return 0;
}

}  // namespace app
