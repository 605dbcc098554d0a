#pragma once
// What every driver of the main loop shares: the thread it is bound to, the
// synchronous calls waiting for that thread, installing itself as MainLoop()
// and putting back the loop before it, and handing timer requests of other
// threads to the main thread where the driver's timers live there. A driver
// adds how it waits, how it is woken, and its timers.
#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "toolkit/event_loop.h"
#include "toolkit/sync_call_queue.h"

namespace tk {

class MainThreadLoop : public EventLoop {
 public:
  ~MainThreadLoop() override;
  MainThreadLoop(const MainThreadLoop&) = delete;
  MainThreadLoop& operator=(const MainThreadLoop&) = delete;

  // Milliseconds of real time since the loop was made.
  int64_t NowMs() const override;
  TimerId AddTimer(uint32_t interval_ms, std::function<void()> fire) final;
  void RemoveTimer(TimerId id) final;
  void Synchronize(const std::function<void()>& call) final;
  bool IsMainThread() const final;
  // Blocks the main thread for real: nothing else runs on it meanwhile.
  void Pause(uint32_t ms) override;
  int RunPendingCalls() final;

  // Number of synchronous calls waiting for the main thread.
  size_t PendingCount() const;

 protected:
  // Where the driver's own timer functions may be called.
  enum class TimerThreads {
    kMainOnly,  // requests of other threads are run on the main thread
    kAny,       // the driver guards its timers itself
  };

  // The constructing thread becomes the main thread.
  explicit MainThreadLoop(TimerThreads timer_threads);

  // The last step of the driver's constructor: from now on other threads
  // find the loop as MainLoop() and may hand it calls.
  void Install();
  // The first step of the driver's destructor, while its way of waking is
  // still whole: puts back the loop installed before (if this one is still
  // installed), refuses later calls, releases the callers still waiting
  // with an exception, and returns once no wake-up or post is under way;
  // from then on WakeForCalls is not called and PostUnlessClosed does nothing.
  void Uninstall();

  // Any thread: calls are waiting; the main thread must run RunPendingCalls.
  virtual void WakeForCalls() = 0;
  // The driver's timers; with TimerThreads::kMainOnly, main thread only.
  virtual TimerId AddDriverTimer(uint32_t interval_ms, std::function<void()> fire) = 0;
  virtual void RemoveDriverTimer(TimerId id) = 0;

  // Any thread: runs `post` (which hands something to the main thread) unless
  // Uninstall has begun; Uninstall waits for a post under way. True when it ran.
  bool PostUnlessClosed(const std::function<void()>& post);
  // Main thread, on receiving a post: returns once the post has ended, so
  // that all the poster did comes before what follows, also as
  // ThreadSanitizer sees it (it does not see a toolkit's own hand-over).
  void PostReceived();
  bool CallsWaiting() const { return !calls_.Empty(); }
  // The real-clock moment that NowMs() calls `ms`.
  std::chrono::steady_clock::time_point RealTimeAt(int64_t ms) const;

 private:
  const std::thread::id main_thread_;
  const std::chrono::steady_clock::time_point start_;
  const TimerThreads timer_threads_;
  EventLoop* previous_ = nullptr;
  bool installed_ = false;
  std::mutex post_mutex_;
  bool closed_ = false;  // guarded by post_mutex_
  SyncCallQueue calls_;
};

// The handler of one timer. A handler that runs a loop of its own (a modal
// box keeps timers running) is not run again underneath itself: the firings
// meanwhile are dropped, as every period would otherwise stack one more box.
class TimerHandler {
 public:
  explicit TimerHandler(std::function<void()> fire) : fire_(std::move(fire)) {}

  // Main thread. Runs the handler unless it is running already; an escaping
  // exception goes to the application's error report. `handler` is kept alive
  // meanwhile: the handler may remove its own timer.
  static void Fire(std::shared_ptr<TimerHandler> handler);
  bool Firing() const { return firing_; }

 private:
  std::function<void()> fire_;
  bool firing_ = false;
};

}  // namespace tk
