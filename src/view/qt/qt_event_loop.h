#pragma once
// The main loop of the window program, driven by Qt's event loop: timers are
// QTimers, synchronous calls from other threads are posted to the GUI thread,
// so they also run inside the nested loops of modal dialogs and message boxes.
#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

#include "toolkit/event_loop.h"
#include "toolkit/sync_call_queue.h"

class QObject;
class QTimer;

namespace tk {

class QtEventLoop : public EventLoop {
 public:
  // Construct on the GUI thread, after the QApplication. The loop installs
  // itself as MainLoop() and restores the previous one when destroyed.
  QtEventLoop();
  ~QtEventLoop() override;
  QtEventLoop(const QtEventLoop&) = delete;
  QtEventLoop& operator=(const QtEventLoop&) = delete;

  int64_t NowMs() const override;
  TimerId AddTimer(uint32_t interval_ms, std::function<void()> fire) override;
  void RemoveTimer(TimerId id) override;
  void Synchronize(const std::function<void()>& call) override;
  bool IsMainThread() const override;
  void Pause(uint32_t ms) override;
  int RunPendingCalls() override;
  void Quit() override;
  void Run() override;

  size_t TimerCount() const { return timers_.size(); }

 private:
  struct Timer;
  struct TimerDeleter {
    void operator()(QTimer* timer) const;
  };
  void Fire(const std::shared_ptr<Timer>& timer);
  void PostWake();

  std::thread::id main_thread_;
  std::chrono::steady_clock::time_point start_;
  EventLoop* previous_ = nullptr;
  // Receiver of the posted wake-ups; destroyed with the loop, which drops
  // any wake-up still queued.
  std::unique_ptr<QObject> context_;
  std::map<TimerId, std::shared_ptr<Timer>> timers_;  // GUI thread only
  TimerId next_timer_id_ = 1;
  std::mutex mutex_;  // guards context_ and closed_
  bool closed_ = false;
  SyncCallQueue calls_;
  bool running_ = false;
  bool quit_pending_ = false;
};

}  // namespace tk
