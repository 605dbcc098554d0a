#pragma once
// Stop requests from outside (Ctrl-C, a request to terminate) for a program
// that has threads of its own. The requests are kept from every thread and
// taken by one watcher thread, so no port thread ever sees an interrupted
// wait and the program reacts on its main thread, at a moment of its
// choosing.
#include <functional>
#include <memory>

namespace platform {

// The numbers that a watcher hands on, those of SIGHUP, SIGINT, SIGQUIT and
// SIGTERM on every system, so a program ends with the same status (128 + the
// number) on each. POSIX: each of the four is a stop request; the terminal
// or the SSH session closing sends a hang-up. Windows: Ctrl-C and Ctrl-Break
// are an interrupt; the console window being closed, the user logging off,
// the system shutting down and the end of a supervisor (StopWhenParentEnds)
// are a request to terminate. The system ends the program some seconds after
// a request to terminate from the console; until then the program may finish
// as it sees fit.
constexpr int kStopSignalHangUp = 1;
constexpr int kStopSignalInterrupt = 2;
constexpr int kStopSignalQuit = 3;
constexpr int kStopSignalTerminate = 15;

class StopSignalWatcher {
 public:
  // Keeps the stop signals from the calling thread, and so from every thread
  // it starts afterwards: construct it before any other thread exists. Each
  // signal that arrives runs `on_signal` (with the signal number) on the
  // watcher's own thread. A hang-up or quit signal that is ignored when the
  // watcher starts (nohup, a job started in the background) stays ignored,
  // and so it does for the program's children. A closed output pipe becomes
  // a failed write rather than the end of the program. (Windows: the
  // console's control handler takes the requests, whichever thread exists;
  // the rest holds already.)
  explicit StopSignalWatcher(std::function<void(int)> on_signal);
  // Stops the watcher and puts back what the constructor changed.
  ~StopSignalWatcher();
  StopSignalWatcher(const StopSignalWatcher&) = delete;
  StopSignalWatcher& operator=(const StopSignalWatcher&) = delete;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace platform
