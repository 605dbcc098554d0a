#include <pthread.h>
#include <signal.h>

#include <atomic>
#include <cerrno>
#include <system_error>
#include <thread>

#include "platform/stop_signal_watcher.h"

namespace platform {
namespace {

static_assert(SIGINT == kStopSignalInterrupt && SIGTERM == kStopSignalTerminate);

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

struct StopSignalWatcher::Impl {
  void Watch() {
    const sigset_t set = WatchedSignals();
    for (;;) {
      int signal_number = 0;
      if (sigwait(&set, &signal_number) != 0) continue;
      if (stopping.load()) return;
      if (signal_number == kWakeSignal) continue;
      if (on_signal) on_signal(signal_number);
    }
  }

  std::function<void(int)> on_signal;
  sigset_t previous_mask{};
  struct sigaction previous_pipe_action {};
  std::atomic<bool> stopping{false};
  std::thread thread;
};

StopSignalWatcher::StopSignalWatcher(std::function<void(int)> on_signal)
    : impl_(std::make_unique<Impl>()) {
  impl_->on_signal = std::move(on_signal);
  const sigset_t set = WatchedSignals();
  if (const int error = pthread_sigmask(SIG_BLOCK, &set, &impl_->previous_mask); error != 0) {
    throw std::system_error(error, std::generic_category(), "pthread_sigmask");
  }
  // SIGPIPE ignored: a closed output pipe is a failed write.
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  sigemptyset(&ignore.sa_mask);
  sigaction(SIGPIPE, &ignore, &impl_->previous_pipe_action);
  impl_->thread = std::thread([impl = impl_.get()] { impl->Watch(); });
}

StopSignalWatcher::~StopSignalWatcher() {
  impl_->stopping.store(true);
  pthread_kill(impl_->thread.native_handle(), kWakeSignal);
  impl_->thread.join();
  sigaction(SIGPIPE, &impl_->previous_pipe_action, nullptr);
  pthread_sigmask(SIG_SETMASK, &impl_->previous_mask, nullptr);
}

}  // namespace platform
