#pragma once
// Lets the event loop run until a condition holds or the time is up.

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>
#include <functional>

namespace wharfling::testing {

inline bool WaitUntil(const std::function<bool()>& condition, int timeoutMs = 20000) {
  QDeadlineTimer deadline(timeoutMs);
  while (!condition()) {
    if (deadline.hasExpired()) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    QThread::msleep(5);
  }
  return true;
}

}  // namespace wharfling::testing
