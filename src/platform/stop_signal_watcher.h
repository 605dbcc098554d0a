#pragma once
// Stop requests from outside (Ctrl-C, SIGTERM) for a program that has threads
// of its own. The signals are blocked in every thread and taken by one
// watcher thread, so no port thread ever sees an interrupted wait and the
// program reacts on its main thread, at a moment of its choosing.
#include <signal.h>

#include <atomic>
#include <functional>
#include <thread>

namespace platform {

class StopSignalWatcher {
 public:
  // Blocks SIGINT and SIGTERM in the calling thread, and so in every thread
  // it starts afterwards: construct it before any other thread exists. Each
  // signal that arrives runs `on_signal` (with the signal number) on the
  // watcher's own thread. Also ignores SIGPIPE, so a closed output pipe is a
  // failed write and not the end of the program.
  explicit StopSignalWatcher(std::function<void(int)> on_signal);
  // Stops the watcher and restores the signal mask and SIGPIPE handling.
  ~StopSignalWatcher();
  StopSignalWatcher(const StopSignalWatcher&) = delete;
  StopSignalWatcher& operator=(const StopSignalWatcher&) = delete;

 private:
  void Watch();

  std::function<void(int)> on_signal_;
  sigset_t previous_mask_{};
  struct sigaction previous_pipe_action_ {};
  std::atomic<bool> stopping_{false};
  std::thread thread_;
};

}  // namespace platform
