#include "toolkit/headless_event_loop.h"

#include <algorithm>
#include <limits>

namespace tk {

namespace {
constexpr int64_t kNoTimer = std::numeric_limits<int64_t>::max();
}  // namespace

struct HeadlessEventLoop::Timer {
  TimerId id;
  int64_t interval;
  int64_t due;
  std::shared_ptr<TimerHandler> handler;
};

HeadlessEventLoop::HeadlessEventLoop(Clock clock)
    : MainThreadLoop(TimerThreads::kAny), clock_(clock) {
  Install();
}

HeadlessEventLoop::~HeadlessEventLoop() {
  Uninstall();
}

int64_t HeadlessEventLoop::NowMs() const {
  return clock_ == Clock::Virtual ? virtual_now_.load() : RealNowMs();
}

EventLoop::TimerId HeadlessEventLoop::AddDriverTimer(uint32_t interval_ms,
                                                     std::function<void()> fire) {
  const int64_t interval = std::max<int64_t>(interval_ms, 1);
  std::lock_guard lock(mutex_);
  auto timer = std::make_shared<Timer>(Timer{next_timer_id_++, interval, NowMs() + interval,
                                             std::make_shared<TimerHandler>(std::move(fire))});
  timers_[timer->id] = timer;
  wake_.notify_all();  // a sleeping Run() may have to wake earlier now
  return timer->id;
}

void HeadlessEventLoop::RemoveDriverTimer(TimerId id) {
  std::lock_guard lock(mutex_);
  timers_.erase(id);
}

size_t HeadlessEventLoop::TimerCount() const {
  std::lock_guard lock(mutex_);
  return timers_.size();
}

std::optional<int64_t> HeadlessEventLoop::MsUntilNextTimer() const {
  std::lock_guard lock(mutex_);
  const int64_t next = NextDue();
  if (next == kNoTimer) return std::nullopt;
  return std::max<int64_t>(next - NowMs(), 0);
}

int64_t HeadlessEventLoop::NextDue() const {
  int64_t next = kNoTimer;
  for (const auto& [id, t] : timers_) next = std::min(next, t->due);
  return next;
}

bool HeadlessEventLoop::FireNextDueTimer(int64_t until) {
  std::shared_ptr<Timer> next;
  std::shared_ptr<TimerHandler> handler;
  {
    std::lock_guard lock(mutex_);
    // Earliest due first; among equal times, the one made first.
    for (const auto& [id, t] : timers_)
      if (t->due <= until && (!next || t->due < next->due)) next = t;
    if (!next) return false;
    if (clock_ == Clock::Virtual) {
      // Overdue only after a Pause: then it fires once, now, as a real timer
      // does after the main thread was blocked, and counts its period anew.
      const int64_t fire_at = std::max(virtual_now_.load(), next->due);
      virtual_now_.store(fire_at);
      next->due = fire_at + next->interval;
    } else {
      // A late loop does not make up for lost periods with a burst of firings.
      next->due = std::max(next->due + next->interval, RealNowMs() + 1);
    }
    handler = next->handler;
  }
  // The handler may remove or add timers, this one included.
  TimerHandler::Fire(std::move(handler));
  return true;
}

void HeadlessEventLoop::Pause(uint32_t ms) {
  if (clock_ == Clock::Virtual) {
    virtual_now_.fetch_add(ms);
  } else {
    MainThreadLoop::Pause(ms);
  }
}

void HeadlessEventLoop::Quit() {
  std::lock_guard lock(mutex_);
  quit_ = true;
  wake_.notify_all();
}

void HeadlessEventLoop::Wake() {
  std::lock_guard lock(mutex_);
  wake_.notify_all();
}

void HeadlessEventLoop::WaitForWork(std::unique_lock<std::mutex>& lock, int64_t until_ms) {
  if (CallsWaiting() || quit_) return;
  if (until_ms == kNoTimer) {
    wake_.wait(lock);
  } else {
    wake_.wait_until(lock, RealTimeAt(until_ms));
  }
}

void HeadlessEventLoop::Run() {
  for (;;) {
    ProcessPending();
    std::unique_lock lock(mutex_);
    if (quit_) break;
    if (CallsWaiting()) continue;
    const int64_t next = NextDue();
    if (clock_ == Clock::Virtual) {
      if (next != kNoTimer) {
        // Nothing else can happen before the next timer: jump to it.
        lock.unlock();
        FireNextDueTimer(next);
        continue;
      }
      WaitForWork(lock, kNoTimer);
    } else if (next <= RealNowMs()) {
      lock.unlock();
      FireNextDueTimer(RealNowMs());
    } else {
      WaitForWork(lock, next);
    }
  }
  std::lock_guard lock(mutex_);
  quit_ = false;  // the loop may be run again
}

void HeadlessEventLoop::AdvanceBy(int64_t ms) {
  if (clock_ == Clock::Real) {
    RunUntil([] { return false; }, ms);
    return;
  }
  const int64_t target = virtual_now_.load() + std::max<int64_t>(ms, 0);
  ProcessPending();
  while (FireNextDueTimer(target)) ProcessPending();
  virtual_now_.store(std::max(virtual_now_.load(), target));
  ProcessPending();
}

bool HeadlessEventLoop::RunUntil(const std::function<bool()>& done, int64_t real_timeout_ms) {
  // `done` may depend on other threads that cannot wake this loop, so it is
  // looked at again at least this often.
  constexpr int64_t kRecheckMs = 10;
  const int64_t deadline = RealNowMs() + std::max<int64_t>(real_timeout_ms, 0);
  for (;;) {
    ProcessPending();
    if (done()) return true;
    if (clock_ == Clock::Real && FireNextDueTimer(RealNowMs())) continue;
    const int64_t now = RealNowMs();
    if (now >= deadline) return done();
    std::unique_lock lock(mutex_);
    int64_t until = std::min(deadline, now + kRecheckMs);
    if (clock_ == Clock::Real) until = std::min(until, NextDue());
    if (CallsWaiting()) continue;
    wake_.wait_until(lock, RealTimeAt(until));
  }
}

}  // namespace tk
