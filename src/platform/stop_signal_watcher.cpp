#include "platform/stop_signal_watcher.h"

#include <pthread.h>

#include <cerrno>
#include <system_error>

namespace platform {
namespace {

// Sent by the destructor to end the wait; never comes from outside while the
// watcher runs because it is blocked like the others.
constexpr int kWakeSignal = SIGUSR1;

sigset_t WatchedSignals() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGTERM);
  sigaddset(&set, kWakeSignal);
  return set;
}

}  // namespace

StopSignalWatcher::StopSignalWatcher(std::function<void(int)> on_signal)
    : on_signal_(std::move(on_signal)) {
  const sigset_t set = WatchedSignals();
  if (const int error = pthread_sigmask(SIG_BLOCK, &set, &previous_mask_); error != 0) {
    throw std::system_error(error, std::generic_category(), "pthread_sigmask");
  }
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  sigemptyset(&ignore.sa_mask);
  sigaction(SIGPIPE, &ignore, &previous_pipe_action_);
  thread_ = std::thread([this] { Watch(); });
}

StopSignalWatcher::~StopSignalWatcher() {
  stopping_.store(true);
  pthread_kill(thread_.native_handle(), kWakeSignal);
  thread_.join();
  sigaction(SIGPIPE, &previous_pipe_action_, nullptr);
  pthread_sigmask(SIG_SETMASK, &previous_mask_, nullptr);
}

void StopSignalWatcher::Watch() {
  const sigset_t set = WatchedSignals();
  for (;;) {
    int signal_number = 0;
    if (sigwait(&set, &signal_number) != 0) continue;
    if (stopping_.load()) return;
    if (signal_number == kWakeSignal) continue;
    if (on_signal_) on_signal_(signal_number);
  }
}

}  // namespace platform
