#pragma once
// The main loop of the window program, driven by Qt's event loop: timers are
// QTimers, synchronous calls from other threads are posted to the GUI thread,
// so they also run inside the nested loops of modal dialogs and message boxes.
#include <map>
#include <memory>

#include "toolkit/main_thread_loop.h"

class QTimer;

namespace tk {

class QtEventLoop : public MainThreadLoop {
 public:
  // Construct on the GUI thread, after the QApplication. The loop installs
  // itself as MainLoop() and restores the previous one when destroyed.
  QtEventLoop();
  ~QtEventLoop() override;

  void Quit() override;
  void Run() override;

  size_t TimerCount() const { return timers_.size(); }

 private:
  struct Timer;
  struct TimerDeleter {
    void operator()(QTimer* timer) const;
  };
  // QTimers belong to the thread that runs them: the GUI thread only.
  TimerId AddDriverTimer(uint32_t interval_ms, std::function<void()> fire) override;
  void RemoveDriverTimer(TimerId id) override;
  void WakeForCalls() override;
  // Any thread, until the loop is being destroyed.
  void Post(int event_type);

  class Receiver;
  // Receiver of the posted wake-ups; destroyed with the loop, which drops
  // any wake-up still queued.
  std::unique_ptr<Receiver> receiver_;
  std::map<TimerId, std::shared_ptr<Timer>> timers_;  // GUI thread only
  TimerId next_timer_id_ = 1;
  bool running_ = false;
  bool quit_pending_ = false;
};

}  // namespace tk
