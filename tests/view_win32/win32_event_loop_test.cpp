// The message loop as the main loop: timers, calls from other threads and
// quitting, on the thread's own messages.
#include "view/win32/win32_event_loop.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "toolkit/application.h"

namespace {

using namespace std::chrono_literals;

TEST(Win32EventLoop, TimersFireOnTheLoopUntilRemovedAndNeverPileUp) {
  tk::Win32EventLoop loop;
  int fired = 0, nested = 0;
  tk::EventLoop::TimerId id = 0;
  id = loop.AddTimer(15, [&] {
    ++fired;
    if (fired == 2) {
      // A handler that runs a loop of its own (a message box does) is not
      // run again underneath itself.
      const int64_t until = loop.NowMs() + 100;
      while (loop.NowMs() < until) {
        loop.ProcessMessages();
        Sleep(5);
      }
      nested = fired;
    }
    if (fired == 4) loop.RemoveTimer(id);
  });
  const tk::EventLoop::TimerId other = loop.AddTimer(10, [&] { loop.Quit(); });
  const int64_t start = loop.NowMs();
  while (fired < 4 && loop.NowMs() - start < 3000) loop.Run();
  loop.RemoveTimer(other);
  EXPECT_EQ(fired, 4);
  EXPECT_EQ(nested, 2);
  EXPECT_EQ(loop.TimerCount(), 0u);
  Sleep(50);
  loop.ProcessMessages();
  EXPECT_EQ(fired, 4);
}

TEST(Win32EventLoop, CallsFromOtherThreadsRunOnTheWindowThreadInOrder) {
  tk::Win32EventLoop loop;
  const DWORD window_thread = GetCurrentThreadId();
  std::vector<int> order;
  std::atomic<bool> wrong_thread{false};
  std::thread worker([&] {
    for (int i = 0; i < 3; ++i)
      loop.Synchronize([&, i] {
        if (GetCurrentThreadId() != window_thread) wrong_thread = true;
        order.push_back(i);
      });
    EXPECT_THROW(loop.Synchronize([] { throw std::runtime_error("carried back"); }),
                 std::runtime_error);
    loop.Quit();  // from another thread, too
  });
  loop.Run();
  worker.join();
  EXPECT_EQ(order, (std::vector<int>{0, 1, 2}));
  EXPECT_FALSE(wrong_thread);
}

TEST(Win32EventLoop, QuitBeforeRunEndsItAtOnce) {
  tk::Win32EventLoop loop;
  loop.AddTimer(5000, [&] { loop.Quit(); });  // the way out if Run() waited
  const int64_t start = loop.NowMs();
  loop.Quit();
  loop.Run();  // the window closed before the loop started
  EXPECT_LT(loop.NowMs() - start, 2000);
}

}  // namespace
