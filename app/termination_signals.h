// SIGTERM, SIGINT and SIGHUP (a desktop session ending, Ctrl-C, a terminal
// closed) end sentune through its normal shutdown: every open dialog ends as
// cancelled, the main window closes, theAdc and theDevice are deleted in
// their order and the link library closes its ports and releases its named
// objects. The signal itself only writes a byte into a pipe; the work is done
// on the user-interface thread, between two events.
#pragma once

#include <QObject>
#include <csignal>

class QSocketNotifier;

namespace app {

class TerminationSignals : public QObject {
 public:
  // Catches the three signals until destroyed (one instance at a time).
  explicit TerminationSignals(QObject *parent = nullptr);
  ~TerminationSignals() override;
  TerminationSignals(const TerminationSignals &) = delete;
  TerminationSignals &operator=(const TerminationSignals &) = delete;

  // The first signal caught, 0 before any.
  int received() const { return received_; }

 private:
  void drain();

  int pipe_[2] = {-1, -1};
  QSocketNotifier *notifier_ = nullptr;
  struct sigaction previous_[3] = {};
  int received_ = 0;
};

// Ends every shown dialog of the program with code 2 (cancelled) and stops every event loop of the
// user-interface thread. A dialog, message box or file dialog opened after this returns at once
// (message boxes with their refusing answer), so no command can hold the shutdown waiting for a
// person who is no longer there.
void endProgram();

}  // namespace app
