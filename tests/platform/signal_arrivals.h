#pragma once
// What a stop-signal handler of a test received, and on which thread.
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <thread>
#include <vector>

namespace platform {

struct SignalArrivals {
  void Add(int signal_number) {
    std::lock_guard lock(mutex);
    signals.push_back(signal_number);
    threads.push_back(std::this_thread::get_id());
    changed.notify_all();
  }
  // Whether `count` have arrived within 5 s.
  bool WaitFor(size_t count) {
    std::unique_lock lock(mutex);
    return changed.wait_for(lock, std::chrono::seconds(5), [&] { return signals.size() >= count; });
  }
  std::vector<int> Signals() {
    std::lock_guard lock(mutex);
    return signals;
  }
  size_t Count() {
    std::lock_guard lock(mutex);
    return signals.size();
  }

  std::mutex mutex;
  std::condition_variable changed;
  std::vector<int> signals;
  std::vector<std::thread::id> threads;
};

}  // namespace platform
