#include <windows.h>

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "platform/stop_request_win32.h"
#include "platform/stop_signal_watcher.h"

namespace platform {
namespace {

// Where the console's handler leaves the stop requests for a watcher's
// thread.
class SignalInbox {
 public:
  explicit SignalInbox(std::function<void(int)> on_signal) : on_signal_(std::move(on_signal)) {}

  // The watcher's thread: runs on_signal for each request, in order, until
  // Stop.
  void Watch() {
    std::unique_lock lock(mutex_);
    for (;;) {
      arrived_.wait(lock, [this] { return stopping_ || !pending_.empty(); });
      if (stopping_) return;
      const int signal_number = pending_.front();
      pending_.pop_front();
      lock.unlock();
      if (on_signal_) on_signal_(signal_number);
      lock.lock();
    }
  }

  void Post(int signal_number) {
    std::lock_guard lock(mutex_);
    pending_.push_back(signal_number);
    arrived_.notify_one();
  }

  void Stop() {
    std::lock_guard lock(mutex_);
    stopping_ = true;
    arrived_.notify_one();
  }

 private:
  std::function<void(int)> on_signal_;
  std::mutex mutex_;
  std::condition_variable arrived_;
  std::deque<int> pending_;
  bool stopping_ = false;
};

// The watchers that exist; the console's handler posts to each.
std::mutex watchers_mutex;
std::vector<SignalInbox*> watchers;

}  // namespace

bool PostStopRequest(int signal_number) {
  std::lock_guard lock(watchers_mutex);
  for (SignalInbox* watcher : watchers) watcher->Post(signal_number);
  return !watchers.empty();
}

namespace {

// Runs on a thread that the system starts for each event.
BOOL WINAPI OnConsoleControl(DWORD event) {
  int signal_number = 0;
  switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
      signal_number = kStopSignalInterrupt;
      break;
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
      signal_number = kStopSignalTerminate;
      break;
    default:
      return FALSE;  // the next handler's business
  }
  if (!PostStopRequest(signal_number)) return FALSE;
  if (signal_number == kStopSignalTerminate) {
    // The system ends the process as soon as this returns (or after its own
    // time limit, some seconds): hold it here while the program stops its
    // run and exits with its own status.
    for (;;) ::Sleep(INFINITE);
  }
  return TRUE;
}

}  // namespace

struct StopSignalWatcher::Impl {
  explicit Impl(std::function<void(int)> on_signal) : inbox(std::move(on_signal)) {}
  SignalInbox inbox;
  std::thread thread;
};

StopSignalWatcher::StopSignalWatcher(std::function<void(int)> on_signal)
    : impl_(std::make_unique<Impl>(std::move(on_signal))) {
  impl_->thread = std::thread([inbox = &impl_->inbox] { inbox->Watch(); });
  std::lock_guard lock(watchers_mutex);
  if (watchers.empty() && !::SetConsoleCtrlHandler(OnConsoleControl, TRUE)) {
    const auto error = static_cast<int>(::GetLastError());
    impl_->inbox.Stop();
    impl_->thread.join();
    throw std::system_error(error, std::system_category(), "SetConsoleCtrlHandler");
  }
  watchers.push_back(&impl_->inbox);
}

StopSignalWatcher::~StopSignalWatcher() {
  {
    std::lock_guard lock(watchers_mutex);
    std::erase(watchers, &impl_->inbox);
    if (watchers.empty()) ::SetConsoleCtrlHandler(OnConsoleControl, FALSE);
  }
  impl_->inbox.Stop();
  impl_->thread.join();
}

}  // namespace platform
