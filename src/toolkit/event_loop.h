#pragma once
// The main-thread event loop that every handler of the program runs on:
// millisecond timers, synchronous calls from other threads, and a blocking
// pause. One interface, three drivers on one base (main_thread_loop.h): the
// Qt loop of the window program on Linux (src/view/qt), the message loop of
// the window program on Windows (src/view/win32), and the headless loop
// (headless_event_loop.h) of the command-line front ends and the tests, with
// a real or a virtual clock.
#include <cstdint>
#include <functional>

namespace tk {

class EventLoop {
 public:
  using TimerId = uint64_t;

  virtual ~EventLoop() = default;

  // Milliseconds on the loop's clock (real or virtual); only differences matter.
  virtual int64_t NowMs() const = 0;

  // Runs `fire` on the main thread every `interval_ms` (0 counts as 1) until
  // the timer is removed. Firings never overlap another handler; a handler
  // that runs a loop of its own (a modal box) is not fired again underneath
  // itself. Any thread may add and remove timers; an exception escaping
  // `fire` goes to the application's error report.
  virtual TimerId AddTimer(uint32_t interval_ms, std::function<void()> fire) = 0;
  // Removing an unknown or already removed timer does nothing; a handler may
  // remove its own timer.
  virtual void RemoveTimer(TimerId id) = 0;

  // Runs `call` on the main thread and blocks the caller until it has run.
  // Calls run in the order made; a call made on the main thread runs at once;
  // calls also run while a modal dialog or message box is open. An exception
  // escaping `call` is carried back and rethrown in the caller. Once the loop
  // is being destroyed, waiting and later calls fail with an exception.
  virtual void Synchronize(const std::function<void()>& call) = 0;

  virtual bool IsMainThread() const = 0;

  // A blocking wait on the main thread: no timer and no synchronous call runs
  // during it (a virtual clock just moves on).
  virtual void Pause(uint32_t ms) = 0;

  // Main thread only: runs the synchronous calls that are waiting now, as a
  // modal wait does; returns how many ran. TThread::WaitFor uses it on the
  // main thread, so a thread that synchronizes while the main thread waits
  // for it cannot deadlock.
  virtual int RunPendingCalls() = 0;

  // Ends Run(); from any thread. A Quit() while Run() is not running ends
  // the next Run() at once (the window closed before the loop started).
  virtual void Quit() = 0;
  // Runs until Quit(); may be run again afterwards.
  virtual void Run() = 0;
};

// The program's main loop. Set by the driver before any control or timer is used.
EventLoop& MainLoop();
void SetMainLoop(EventLoop* loop);
// The installed loop, or nullptr (MainLoop() throws when none is set).
EventLoop* CurrentMainLoop();

}  // namespace tk
