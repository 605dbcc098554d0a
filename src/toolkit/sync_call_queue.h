#pragma once
// Synchronous calls waiting for the main thread, shared by both loop drivers:
// the calling thread blocks until the main thread has run its call, calls run
// in the order made, and an exception escaping a call is carried back to its
// caller.
#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>

namespace tk {

class SyncCallQueue {
 public:
  // `on_queued` wakes the main thread; it runs on the calling thread after a
  // call has been queued, with the queue's lock released.
  explicit SyncCallQueue(std::function<void()> on_queued);
  ~SyncCallQueue();
  SyncCallQueue(const SyncCallQueue&) = delete;
  SyncCallQueue& operator=(const SyncCallQueue&) = delete;

  // Queues `call` and blocks until RunAll has run it; rethrows what it threw.
  // Refused with an exception once the queue is closed.
  void Call(const std::function<void()>& call);
  // Main thread: runs the waiting calls in order; returns how many ran.
  int RunAll();
  bool Empty() const;
  size_t Size() const;
  // Refuses further calls and releases every waiting caller with an
  // exception: they must not hang on a loop that will never run them.
  // Returns once no on_queued is running any more.
  void Close();

 private:
  struct Request;
  std::function<void()> on_queued_;
  mutable std::mutex mutex_;
  std::deque<std::shared_ptr<Request>> requests_;
  std::condition_variable notified_;
  int notifying_ = 0;  // callers between queueing and the end of on_queued
  bool closed_ = false;
};

}  // namespace tk
