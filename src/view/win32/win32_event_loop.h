#pragma once
// The main loop of the window program on Windows, driven by the thread's
// message loop: timers are window timers of a message-only window, and
// synchronous calls from other threads are posted to it, so both also run
// inside the message loops of message boxes and the file-open dialog.
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

#include "toolkit/event_loop.h"
#include "toolkit/sync_call_queue.h"
#include "view/win32/win32_api.h"

namespace tk {

class Win32EventLoop : public EventLoop {
 public:
  // Construct on the window thread. The loop installs itself as MainLoop()
  // and restores the previous one when destroyed.
  Win32EventLoop();
  ~Win32EventLoop() override;
  Win32EventLoop(const Win32EventLoop&) = delete;
  Win32EventLoop& operator=(const Win32EventLoop&) = delete;

  int64_t NowMs() const override;
  TimerId AddTimer(uint32_t interval_ms, std::function<void()> fire) override;
  void RemoveTimer(TimerId id) override;
  void Synchronize(const std::function<void()>& call) override;
  bool IsMainThread() const override;
  void Pause(uint32_t ms) override;
  int RunPendingCalls() override;
  void Quit() override;
  void Run() override;

  // Window thread: dispatches the messages that are waiting, without blocking.
  void ProcessMessages();
  size_t TimerCount() const { return timers_.size(); }

 private:
  struct Timer;
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  void Fire(TimerId id);
  void PostToWindow(UINT message);

  std::thread::id main_thread_;
  std::chrono::steady_clock::time_point start_;
  EventLoop* previous_ = nullptr;
  HWND window_ = nullptr;  // message-only: receives the timers and the wake-ups
  std::map<TimerId, std::shared_ptr<Timer>> timers_;  // window thread only
  TimerId next_timer_id_ = 1;
  std::mutex mutex_;  // guards window_ against other threads once closed_
  bool closed_ = false;
  SyncCallQueue calls_;
  bool running_ = false;
  bool quit_ = false;
};

}  // namespace tk
