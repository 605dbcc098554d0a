#pragma once
// Makes TThread's system threads refused, as a process limit or a cgroup's
// pids limit would refuse them, while the object lives.
#include <atomic>
#include <functional>
#include <system_error>
#include <thread>

#include "toolkit/thread.h"

namespace tk::test {

class RefusedThreads {
 public:
  // The first `allowed` threads are still made; every one after is refused.
  explicit RefusedThreads(int allowed = 0)
      : previous_(SetThreadMaker([this, allowed](std::function<void()> body) {
          if (made_.fetch_add(1) >= allowed)
            throw std::system_error(
                std::make_error_code(std::errc::resource_unavailable_try_again));
          return std::thread(std::move(body));
        })) {}
  ~RefusedThreads() { SetThreadMaker(previous_); }
  RefusedThreads(const RefusedThreads&) = delete;
  RefusedThreads& operator=(const RefusedThreads&) = delete;

 private:
  std::atomic<int> made_{0};
  ThreadMaker previous_;
};

}  // namespace tk::test
