#pragma once
// The main loop of the window program on Windows, driven by the thread's
// message loop: timers are window timers of a message-only window, and
// synchronous calls from other threads are posted to it, so both also run
// inside the message loops of message boxes and the file-open dialog.
#include <functional>
#include <map>
#include <memory>

#include "toolkit/main_thread_loop.h"
#include "view/win32/win32_api.h"

namespace tk {

class Win32EventLoop : public MainThreadLoop {
 public:
  // Construct on the window thread. The loop installs itself as MainLoop()
  // and restores the previous one when destroyed.
  Win32EventLoop();
  ~Win32EventLoop() override;

  void Quit() override;
  void Run() override;

  // Window thread: dispatches the messages that are waiting, without blocking.
  void ProcessMessages();
  size_t TimerCount() const { return timers_.size(); }

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  // Window timers belong to the thread of their window: this thread only.
  TimerId AddDriverTimer(uint32_t interval_ms, std::function<void()> fire) override;
  void RemoveDriverTimer(TimerId id) override;
  void WakeForCalls() override { PostToWindow(kRunCalls); }
  void Fire(TimerId id);
  // Any thread, until the loop is being destroyed.
  void PostToWindow(UINT message);

  static constexpr UINT kRunCalls = WM_APP + 1;  // synchronous calls are waiting
  static constexpr UINT kQuit = WM_APP + 2;      // Quit() from another thread

  HWND window_ = nullptr;  // message-only: receives the timers and the wake-ups
  std::map<TimerId, std::shared_ptr<TimerHandler>> timers_;  // window thread only
  TimerId next_timer_id_ = 1;
  bool running_ = false;
  bool quit_ = false;
};

}  // namespace tk
