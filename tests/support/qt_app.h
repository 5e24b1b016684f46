// Widget tests: qt_main.cpp (linked through the support_qt target) makes the
// one QApplication before the tests run and destroys it after them. Tests run
// with QT_QPA_PLATFORM=offscreen, set by sentune_test.
#pragma once

#include <QApplication>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>
#include <functional>

namespace testsupport {

inline QApplication &qtApp() {
  return *static_cast<QApplication *>(QCoreApplication::instance());
}

// Processes events until cond() holds or the deadline passes; returns cond().
// Generous deadlines keep tests steady on a loaded machine.
inline bool waitUntil(const std::function<bool()> &cond, int timeoutMs = 10000) {
  QDeadlineTimer deadline(timeoutMs);
  while (!cond()) {
    if (deadline.hasExpired()) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    QThread::msleep(2);
  }
  return true;
}

}  // namespace testsupport
