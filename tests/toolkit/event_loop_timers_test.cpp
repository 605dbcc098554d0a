// The headless loop's own ways (virtual time, the real clock's waiting) and
// TTimer. What every loop promises is the loop contract's (loop_contract/).
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "platform/process_time.h"
#include "toolkit/application.h"
#include "toolkit/controls.h"
#include "toolkit/exceptions.h"
#include "toolkit/headless_event_loop.h"

namespace tk {
namespace {

class VirtualTimers : public ::testing::Test {
 protected:
  HeadlessEventLoop loop{HeadlessEventLoop::Clock::Virtual};
};

TEST_F(VirtualTimers, FireAtTheirDueTimesInOrder) {
  std::vector<std::pair<std::string, int64_t>> fired;
  loop.AddTimer(300, [&] { fired.emplace_back("slow", loop.NowMs()); });
  loop.AddTimer(100, [&] { fired.emplace_back("fast", loop.NowMs()); });
  loop.AdvanceBy(650);
  // Equal due times keep the order in which the timers were made.
  const std::vector<std::pair<std::string, int64_t>> expected = {
      {"fast", 100}, {"fast", 200}, {"slow", 300}, {"fast", 300},
      {"fast", 400}, {"fast", 500}, {"slow", 600}, {"fast", 600}};
  EXPECT_EQ(fired, expected);
  EXPECT_EQ(loop.NowMs(), 650);
}

TEST_F(VirtualTimers, RepeatingTimerFiresOncePerInterval) {
  int count = 0;
  loop.AddTimer(500, [&] { ++count; });
  loop.AdvanceBy(499);
  EXPECT_EQ(count, 0);
  loop.AdvanceBy(1);
  EXPECT_EQ(count, 1);
  loop.AdvanceBy(2000);
  EXPECT_EQ(count, 5);
}

TEST_F(VirtualTimers, ZeroIntervalCountsAsOneMillisecond) {
  int count = 0;
  loop.AddTimer(0, [&] { ++count; });
  loop.AdvanceBy(10);
  EXPECT_EQ(count, 10);
}

TEST_F(VirtualTimers, HandlerRemovingAndAddingTimersDuringAdvance) {
  std::vector<std::string> fired;
  EventLoop::TimerId second = 0;
  EventLoop::TimerId first = loop.AddTimer(100, [&] {
    fired.push_back("first@" + std::to_string(loop.NowMs()));
    loop.RemoveTimer(first);   // removes itself while running
    loop.RemoveTimer(second);  // and another one that is due at the same time
    loop.AddTimer(50, [&] { fired.push_back("added@" + std::to_string(loop.NowMs())); });
  });
  second = loop.AddTimer(100, [&] { fired.push_back("second"); });
  loop.AdvanceBy(220);
  EXPECT_EQ(fired, (std::vector<std::string>{"first@100", "added@150", "added@200"}));
  EXPECT_EQ(loop.TimerCount(), 1u);
  loop.RemoveTimer(9999);  // unknown: nothing happens
  EXPECT_EQ(loop.TimerCount(), 1u);
}

TEST_F(VirtualTimers, PauseMovesTheClockWithoutFiring) {
  int count = 0;
  loop.AddTimer(100, [&] { ++count; });
  loop.Pause(250);
  EXPECT_EQ(count, 0);
  EXPECT_EQ(loop.NowMs(), 250);
  loop.AdvanceBy(0);  // the overdue firing comes with the next advance, once
  EXPECT_EQ(count, 1);
  loop.AdvanceBy(99);
  EXPECT_EQ(count, 1);
  loop.AdvanceBy(1);  // its period counts from that firing
  EXPECT_EQ(count, 2);
}

TEST_F(VirtualTimers, QuitEndsRun) {
  int count = 0;
  loop.AddTimer(1000, [&] {
    if (++count == 3) loop.Quit();
  });
  loop.Run();  // virtual time jumps from timer to timer
  EXPECT_EQ(count, 3);
  EXPECT_EQ(loop.NowMs(), 3000);
}

TEST(RealClockLoop, SleepsUntilTheNextTimerAndWakesForCalls) {
  HeadlessEventLoop loop(HeadlessEventLoop::Clock::Real);
  // Measured from before the timer is set, so both of its periods lie within.
  const auto start = std::chrono::steady_clock::now();
  const auto cpu_start = platform::ProcessCpuTime();
  int fired = 0;
  std::atomic<bool> call_ran{false};
  // The loop ends once both have happened: on a loaded machine the worker
  // may make its call only after the second period, and a call made after
  // the loop has ended would never run.
  loop.AddTimer(30, [&] {
    if (++fired >= 2 && call_ran) loop.Quit();
  });
  std::thread worker([&] {
    loop.Synchronize([&] {
      call_ran = true;
      if (fired >= 2) loop.Quit();
    });
  });
  loop.Run();
  const auto cpu_used = platform::ProcessCpuTime() - cpu_start;
  const auto elapsed = std::chrono::steady_clock::now() - start;
  worker.join();
  EXPECT_TRUE(call_ran.load());
  EXPECT_GE(fired, 2);
  // Two periods, less what the loop's whole-millisecond clock may round off.
  EXPECT_GE(elapsed, std::chrono::milliseconds(59));
  // Waiting 60 ms must cost next to no processor time (no spinning).
  EXPECT_LT(cpu_used, std::chrono::milliseconds(30));
}

// ---- TTimer -----------------------------------------------------------------

class TimerControl : public VirtualTimers {
 protected:
  TTimer timer;
  std::vector<int64_t> fired;
  void SetUp() override {
    timer.SetEnabled(false);
    timer.OnTimer = [this](TObject* sender) {
      EXPECT_EQ(sender, &timer);
      fired.push_back(loop.NowMs());
    };
  }
};

TEST_F(TimerControl, RunsWithItsIntervalOnlyWhileEnabled) {
  timer.SetInterval(500);
  loop.AdvanceBy(2000);
  EXPECT_TRUE(fired.empty());
  timer.SetEnabled(true);
  loop.AdvanceBy(1200);
  EXPECT_EQ(fired, (std::vector<int64_t>{2500, 3000}));
  timer.SetEnabled(false);
  loop.AdvanceBy(2000);
  EXPECT_EQ(fired.size(), 2u);
  EXPECT_EQ(loop.TimerCount(), 0u);
}

TEST_F(TimerControl, EnablingAgainRestartsThePeriod) {
  timer.SetInterval(500);
  timer.SetEnabled(true);
  loop.AdvanceBy(400);
  timer.SetEnabled(true);
  loop.AdvanceBy(400);
  EXPECT_TRUE(fired.empty());
  loop.AdvanceBy(100);
  EXPECT_EQ(fired, (std::vector<int64_t>{900}));
}

TEST_F(TimerControl, ChangingTheIntervalOfARunningTimerRestartsIt) {
  timer.SetInterval(500);
  timer.SetEnabled(true);
  loop.AdvanceBy(400);
  timer.SetInterval(2000);
  loop.AdvanceBy(1999);
  EXPECT_TRUE(fired.empty());
  loop.AdvanceBy(1);
  EXPECT_EQ(fired, (std::vector<int64_t>{2400}));
  // The same interval again is no change and does not restart.
  loop.AdvanceBy(1000);
  timer.SetInterval(2000);
  loop.AdvanceBy(1000);
  EXPECT_EQ(fired, (std::vector<int64_t>{2400, 4400}));
}

TEST_F(TimerControl, IntervalChangeOnAStoppedTimerDoesNotStartIt) {
  timer.SetInterval(100);
  loop.AdvanceBy(1000);
  EXPECT_TRUE(fired.empty());
  EXPECT_EQ(loop.TimerCount(), 0u);
}

TEST_F(TimerControl, HandlerMayReinstallItselfAndStopItsTimer) {
  // As an operation does: stop, install a new handler and interval, start.
  int second_handler = 0;
  timer.OnTimer = [&](TObject*) {
    timer.SetEnabled(false);
    timer.OnTimer = [&](TObject*) {
      ++second_handler;
      timer.SetEnabled(false);
    };
    timer.SetInterval(300);
    timer.SetEnabled(true);
  };
  timer.SetInterval(100);
  timer.SetEnabled(true);
  loop.AdvanceBy(1000);
  EXPECT_EQ(second_handler, 1);
  EXPECT_FALSE(timer.Enabled());
  EXPECT_EQ(loop.TimerCount(), 0u);
}

TEST_F(TimerControl, HandlerExceptionIsReportedWithTheTimerAsSender) {
  TObject* sender = nullptr;
  std::string message;
  Application::Instance().SetExceptionHandler([&](std::exception_ptr e, TObject* s) {
    sender = s;
    message = ExceptionMessage(e);
  });
  timer.OnTimer = [](TObject*) { throw Exception("Error reading file"); };
  timer.SetInterval(100);
  timer.SetEnabled(true);
  loop.AdvanceBy(100);
  Application::Instance().SetExceptionHandler(nullptr);
  EXPECT_EQ(sender, &timer);
  EXPECT_EQ(message, "Error reading file");
  EXPECT_TRUE(timer.Enabled());
}

TEST_F(TimerControl, StoppedWhileAnotherLoopIsInstalledStaysStopped) {
  timer.SetInterval(100);
  timer.SetEnabled(true);
  {
    HeadlessEventLoop inner(HeadlessEventLoop::Clock::Virtual);
    timer.SetEnabled(false);
  }
  loop.AdvanceBy(500);
  EXPECT_TRUE(fired.empty());
}

TEST_F(TimerControl, DestroyedTimerLeavesNothingBehind) {
  int count = 0;
  {
    TTimer local;
    local.SetInterval(10);
    local.OnTimer = [&](TObject*) { ++count; };
    loop.AdvanceBy(10);
    EXPECT_EQ(count, 1);
  }
  loop.AdvanceBy(100);
  EXPECT_EQ(count, 1);
  EXPECT_EQ(loop.TimerCount(), 0u);
}

}  // namespace
}  // namespace tk

namespace tk {
namespace {

// A handler that restarts its own timer and then raises an error whose
// message box stays open for a while (the box's loop runs timers): the
// timer must not run its handler again underneath, or every period would
// stack one more box on the screen.
TEST_F(TimerControl, HandlerStillRunningIsNotRunAgainByItsTimer) {
  int runs = 0;
  int boxes = 0;
  Application::Instance().SetExceptionHandler([&](std::exception_ptr, TObject*) {
    // The box is open for 5 s (boxes stacked on boxes give up at the third).
    if (++boxes < 3) loop.AdvanceBy(5000);
  });
  timer.OnTimer = [&](TObject*) {
    ++runs;
    timer.SetEnabled(true);  // a new period, as the capture does
    throw Exception("Output buffer is full. Please check comm status.");
  };
  timer.SetInterval(500);
  timer.SetEnabled(true);
  loop.AdvanceBy(500);
  EXPECT_EQ(runs, 1);
  EXPECT_EQ(boxes, 1);
  EXPECT_FALSE(timer.InHandler());

  // Once the box is closed the timer goes on as before.
  Application::Instance().SetExceptionHandler(nullptr);
  timer.OnTimer = [&](TObject*) { ++runs; };
  loop.AdvanceBy(500);
  EXPECT_EQ(runs, 2);
}

TEST_F(TimerControl, AnotherTimerStillRunsWhileOneHandlerWaits) {
  TTimer other;
  int other_runs = 0;
  other.SetInterval(100);
  other.OnTimer = [&](TObject*) { ++other_runs; };
  timer.SetInterval(100);
  timer.OnTimer = [&](TObject*) {
    timer.OnTimer = nullptr;
    loop.AdvanceBy(1000);  // a modal wait inside the handler
  };
  timer.SetEnabled(true);
  loop.AdvanceBy(100);
  EXPECT_GE(other_runs, 10);
}

}  // namespace
}  // namespace tk
