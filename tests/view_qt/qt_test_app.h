#pragma once
// One QApplication for the whole test program, on the offscreen platform
// unless the environment asks for another.
#include <QApplication>
#include <QElapsedTimer>
#include <functional>

namespace qt_test {

// Processes Qt events until `done` or `timeout_ms`; returns done().
inline bool PumpUntil(const std::function<bool()>& done, int timeout_ms = 2000) {
  QElapsedTimer clock;
  clock.start();
  while (!done() && clock.elapsed() < timeout_ms)
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 10);
  return done();
}

}  // namespace qt_test
