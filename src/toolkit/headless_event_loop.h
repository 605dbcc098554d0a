#pragma once
// The event loop without a display: the command-line front end runs it on the
// real clock; tests run it on a virtual clock that they advance themselves.
#include <atomic>
#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>

#include "toolkit/main_thread_loop.h"

namespace tk {

class HeadlessEventLoop : public MainThreadLoop {
 public:
  enum class Clock { Real, Virtual };

  // The thread that constructs the loop is its main thread. It installs itself
  // as MainLoop() and restores the previous loop when destroyed.
  explicit HeadlessEventLoop(Clock clock);
  ~HeadlessEventLoop() override;

  int64_t NowMs() const override;
  void Pause(uint32_t ms) override;
  void Quit() override;
  // Real clock: sleeps until the next timer is due, a call arrives or Quit().
  // Virtual clock: jumps from one due timer to the next (tests mostly want
  // AdvanceBy instead); with no timer it sleeps until a call or Quit().
  void Run() override;

  // Main thread only. Runs the synchronous calls that are waiting; returns how many ran.
  int ProcessPending() { return RunPendingCalls(); }
  // Virtual clock: moves time forward by `ms`, firing every timer that falls
  // due on the way, at its due time, in order, and running waiting calls.
  // Real clock: runs the loop for `ms` of real time.
  void AdvanceBy(int64_t ms);
  // Runs waiting calls and (real clock) due timers until `done()` is true or
  // `real_timeout_ms` of real time have passed; returns done(). With a virtual
  // clock, timers fire only through AdvanceBy. `done()` may depend on other
  // threads that cannot wake the loop, so it is also checked every 10 ms.
  bool RunUntil(const std::function<bool()>& done, int64_t real_timeout_ms);
  // Number of timers currently registered (for tests).
  size_t TimerCount() const;
  // Milliseconds on the loop's clock until the next timer is due (0 when one
  // is overdue); none without timers. For tests that move a virtual clock on
  // only when nothing else is happening.
  std::optional<int64_t> MsUntilNextTimer() const;
  // Wakes a waiting Run()/RunUntil() so it re-checks its condition (any thread).
  void Wake();

 private:
  struct Timer;
  // Its timers are guarded by mutex_: any thread may add and remove them.
  TimerId AddDriverTimer(uint32_t interval_ms, std::function<void()> fire) override;
  void RemoveDriverTimer(TimerId id) override;
  void WakeForCalls() override { Wake(); }
  bool FireNextDueTimer(int64_t until);
  int64_t NextDue() const;  // caller holds mutex_; INT64_MAX when no timer
  int64_t RealNowMs() const { return MainThreadLoop::NowMs(); }
  void WaitForWork(std::unique_lock<std::mutex>& lock, int64_t until_ms);

  Clock clock_;
  std::atomic<int64_t> virtual_now_{0};
  std::map<TimerId, std::shared_ptr<Timer>> timers_;
  TimerId next_timer_id_ = 1;
  mutable std::mutex mutex_;
  std::condition_variable wake_;
  bool quit_ = false;
};

}  // namespace tk
