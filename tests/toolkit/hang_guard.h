#pragma once
// Ends the test program with a message when the scope it guards has not
// ended in time: a call that hangs then fails at once, with its name, instead
// of stalling the whole run until the runner gives up.
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>

namespace tk::test {

class HangGuard {
 public:
  HangGuard(std::string what, std::chrono::milliseconds limit)
      : what_(std::move(what)), watcher_([this, limit] { Watch(limit); }) {}
  ~HangGuard() {
    {
      std::lock_guard lock(mutex_);
      ended_ = true;
    }
    ended_cv_.notify_all();
    watcher_.join();
  }
  HangGuard(const HangGuard&) = delete;
  HangGuard& operator=(const HangGuard&) = delete;

 private:
  void Watch(std::chrono::milliseconds limit) {
    std::unique_lock lock(mutex_);
    if (ended_cv_.wait_for(lock, limit, [this] { return ended_; })) return;
    std::fprintf(stderr, "FAILED: %s has not returned within %lld ms\n", what_.c_str(),
                 static_cast<long long>(limit.count()));
    std::fflush(stderr);
    std::_Exit(1);
  }

  std::string what_;
  std::mutex mutex_;
  std::condition_variable ended_cv_;
  bool ended_ = false;
  std::thread watcher_;  // last: starts once the rest is made
};

}  // namespace tk::test
