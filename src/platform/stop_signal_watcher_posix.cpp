#include <pthread.h>
#include <signal.h>

#include <atomic>
#include <cerrno>
#include <system_error>
#include <thread>

#include "platform/stop_signal_watcher.h"

namespace platform {
namespace {

static_assert(SIGHUP == kStopSignalHangUp && SIGINT == kStopSignalInterrupt &&
              SIGQUIT == kStopSignalQuit && SIGTERM == kStopSignalTerminate);

// Sent by the destructor to end the wait; never comes from outside while the
// watcher runs because it is blocked like the others.
constexpr int kWakeSignal = SIGUSR1;

bool Ignored(int signal_number) {
  struct sigaction action {};
  return sigaction(signal_number, nullptr, &action) == 0 && action.sa_handler == SIG_IGN;
}

// A blocked signal is kept for sigwait even when its action is to ignore it:
// one ignored on purpose must not be blocked. Interrupt and terminate are
// always taken, as a supervisor sends them to its children to stop them.
sigset_t WatchedSignals() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGTERM);
  for (const int optional : {SIGHUP, SIGQUIT}) {
    if (!Ignored(optional)) sigaddset(&set, optional);
  }
  sigaddset(&set, kWakeSignal);
  return set;
}

}  // namespace

struct StopSignalWatcher::Impl {
  void Watch() {
    for (;;) {
      int signal_number = 0;
      if (sigwait(&watched, &signal_number) != 0) continue;
      if (stopping.load()) return;
      if (signal_number == kWakeSignal) continue;
      if (on_signal) on_signal(signal_number);
    }
  }

  std::function<void(int)> on_signal;
  sigset_t watched{};
  sigset_t previous_mask{};
  struct sigaction previous_pipe_action {};
  std::atomic<bool> stopping{false};
  std::thread thread;
};

StopSignalWatcher::StopSignalWatcher(std::function<void(int)> on_signal)
    : impl_(std::make_unique<Impl>()) {
  impl_->on_signal = std::move(on_signal);
  impl_->watched = WatchedSignals();
  if (const int error = pthread_sigmask(SIG_BLOCK, &impl_->watched, &impl_->previous_mask);
      error != 0) {
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
