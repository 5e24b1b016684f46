#include "app/termination_signals.h"

#include <fcntl.h>
#include <unistd.h>

#include <QApplication>
#include <QSocketNotifier>
#include <QWidget>
#include <atomic>
#include <cerrno>

#include "ui/dialog.h"
#include "ui/prompts.h"

namespace app {

namespace {

constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};
// The write end, for the handler. Atomic: the handler may run on any thread
// (the device's and the ADC's workers too) while the catcher goes away.
std::atomic<int> signalPipe{-1};
static_assert(std::atomic<int>::is_always_lock_free, "usable in a signal handler");

void onSignal(int signal) {
  const int saved = errno;
  const auto byte = static_cast<unsigned char>(signal);
  if (const int fd = signalPipe.load(); fd >= 0) {
    [[maybe_unused]] const ssize_t ignored = ::write(fd, &byte, 1);
  }
  errno = saved;
}

}  // namespace

TerminationSignals::TerminationSignals(QObject *parent) : QObject(parent) {
  if (::pipe2(pipe_, O_CLOEXEC | O_NONBLOCK) != 0) return;
  signalPipe = pipe_[1];
  notifier_ = new QSocketNotifier(pipe_[0], QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, [this] { drain(); });
  struct sigaction action = {};
  action.sa_handler = onSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (size_t i = 0; i < std::size(kSignals); ++i)
    ::sigaction(kSignals[i], &action, &previous_[i]);
}

TerminationSignals::~TerminationSignals() {
  if (pipe_[0] < 0) return;
  for (size_t i = 0; i < std::size(kSignals); ++i)
    ::sigaction(kSignals[i], &previous_[i], nullptr);
  signalPipe = -1;
  delete notifier_;
  ::close(pipe_[0]);
  ::close(pipe_[1]);
}

void TerminationSignals::drain() {
  unsigned char byte = 0;
  bool any = false;
  while (::read(pipe_[0], &byte, 1) == 1) {
    if (received_ == 0) received_ = byte;
    any = true;
  }
  // A session that ends sends SIGTERM and SIGHUP together; a second signal
  // finds nothing left to end.
  if (any) endProgram();
}

void endProgram() {
  // A shown ui::Dialog is either in a modal loop or a modeless window whose
  // owner pumps its events (the transfer progress window, whose end cancels
  // the transfer); ending it works for both.
  for (QWidget *window : QApplication::topLevelWidgets()) {
    auto *dialog = qobject_cast<ui::Dialog *>(window);
    if (dialog != nullptr && dialog->isVisible()) dialog->endDialog(ui::kIdCancel);
  }
  // Ends the loops of the message boxes and file dialogs too, and keeps any
  // loop started later from running.
  QCoreApplication::exit(0);
}

}  // namespace app
