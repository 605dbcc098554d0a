#pragma once
// Stop requests from outside (Ctrl-C, a request to terminate) for a program
// that has threads of its own. The requests are kept from every thread and
// taken by one watcher thread, so no port thread ever sees an interrupted
// wait and the program reacts on its main thread, at a moment of its
// choosing.
#include <functional>
#include <memory>

namespace platform {

class StopSignalWatcher {
 public:
  // Keeps the stop signals from the calling thread, and so from every thread
  // it starts afterwards: construct it before any other thread exists. Each
  // signal that arrives runs `on_signal` (with the signal number) on the
  // watcher's own thread. A closed output pipe becomes a failed write rather
  // than the end of the program.
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
