// Synchronous calls into the main thread and the general error report.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "platform/process_time.h"
#include "toolkit/application.h"
#include "toolkit/exceptions.h"
#include "toolkit/headless_event_loop.h"

namespace tk {
namespace {

constexpr int64_t kGenerousMs = 5000;  // only reached when something is broken

class RecordingDialogs : public DialogService {
 public:
  void ShowMessage(const std::string& text) override { messages.push_back(text); }
  bool ExecuteOpenDialog(TOpenDialog&) override { return false; }
  std::vector<std::string> messages;
};

TEST(Synchronize, CallFromAnotherThreadRunsOnTheMainThreadAndBlocksTheCaller) {
  HeadlessEventLoop loop(HeadlessEventLoop::Clock::Virtual);
  std::thread::id ran_on;
  std::atomic<bool> returned{false};
  std::thread worker([&] {
    loop.Synchronize([&] { ran_on = std::this_thread::get_id(); });
    returned = true;
  });
  EXPECT_TRUE(loop.RunUntil([&] { return returned.load(); }, kGenerousMs));
  worker.join();
  EXPECT_EQ(ran_on, std::this_thread::get_id());
  EXPECT_TRUE(loop.IsMainThread());
}

TEST(Synchronize, CallerWaitsUntilTheMainThreadHasRunTheCall) {
  HeadlessEventLoop loop(HeadlessEventLoop::Clock::Virtual);
  std::atomic<bool> ran{false};
  std::atomic<bool> returned{false};
  std::thread worker([&] {
    loop.Synchronize([&] { ran = true; });
    returned = true;
  });
  // Nobody pumps yet: the caller must still be blocked.
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  EXPECT_FALSE(returned.load());
  EXPECT_FALSE(ran.load());
  EXPECT_TRUE(loop.RunUntil([&] { return ran.load(); }, kGenerousMs));
  worker.join();
  EXPECT_TRUE(returned.load());
}

TEST(Synchronize, QueuedCallsFromSeveralThreadsRunInTheOrderMade) {
  HeadlessEventLoop loop(HeadlessEventLoop::Clock::Virtual);
  std::vector<int> order;
  std::vector<std::thread> workers;
  // Each caller starts once the one before has queued its call, so the order
  // in which the calls were made is known.
  for (int i = 0; i < 5; ++i) {
    workers.emplace_back([&, i] { loop.Synchronize([&order, i] { order.push_back(i); }); });
    while (loop.PendingCount() < static_cast<size_t>(i + 1))
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  EXPECT_EQ(loop.ProcessPending(), 5);
  for (auto& w : workers) w.join();
  EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 3, 4}));
}

TEST(Synchronize, ManyCallersEachCallRunsOnceAndEachThreadKeepsItsOrder) {
  HeadlessEventLoop loop(HeadlessEventLoop::Clock::Virtual);
  constexpr int kThreads = 4;
  constexpr int kCallsEach = 50;
  std::vector<std::pair<int, int>> seen;  // (thread, call) as run by the main thread
  std::atomic<int> finished{0};
  std::vector<std::thread> workers;
  for (int t = 0; t < kThreads; ++t) {
    workers.emplace_back([&, t] {
      for (int i = 0; i < kCallsEach; ++i)
        loop.Synchronize([&seen, t, i] { seen.emplace_back(t, i); });
      ++finished;
    });
  }
  EXPECT_TRUE(loop.RunUntil([&] { return finished.load() == kThreads; }, kGenerousMs));
  for (auto& w : workers) w.join();
  ASSERT_EQ(seen.size(), static_cast<size_t>(kThreads * kCallsEach));
  std::vector<int> next(kThreads, 0);
  for (const auto& [t, i] : seen) EXPECT_EQ(i, next[static_cast<size_t>(t)]++);
}

TEST(Synchronize, CallOnTheMainThreadRunsAtOnce) {
  HeadlessEventLoop loop(HeadlessEventLoop::Clock::Virtual);
  bool ran = false;
  loop.Synchronize([&] { ran = true; });
  EXPECT_TRUE(ran);
  EXPECT_EQ(loop.ProcessPending(), 0);
}

TEST(Synchronize, ExceptionIsCarriedBackToTheCaller) {
  HeadlessEventLoop loop(HeadlessEventLoop::Clock::Virtual);
  std::vector<std::string> reported;
  Application::Instance().SetExceptionHandler(
      [&](std::exception_ptr e, TObject*) { reported.push_back(ExceptionMessage(e)); });
  std::string caught;
  std::atomic<bool> done{false};
  std::thread worker([&] {
    try {
      loop.Synchronize([] { throw EConvertError("bad value"); });
    } catch (const EConvertError& e) {
      caught = e.what();
    }
    done = true;
  });
  EXPECT_TRUE(loop.RunUntil([&] { return done.load(); }, kGenerousMs));
  worker.join();
  Application::Instance().SetExceptionHandler(nullptr);
  EXPECT_EQ(caught, "bad value");
  EXPECT_TRUE(reported.empty());  // the caller handles it, not the report
}

TEST(Synchronize, CallsRunWhileAModalDialogPumpsTheLoop) {
  HeadlessEventLoop loop(HeadlessEventLoop::Clock::Virtual);
  // A dialog service that, like a modal message box, keeps serving calls
  // until the operator (here: the worker's call) dismisses it.
  class ModalDialogs : public DialogService {
   public:
    explicit ModalDialogs(HeadlessEventLoop& l) : loop_(l) {}
    void ShowMessage(const std::string&) override {
      loop_.RunUntil([this] { return dismissed; }, kGenerousMs);
    }
    bool ExecuteOpenDialog(TOpenDialog&) override { return false; }
    bool dismissed = false;

   private:
    HeadlessEventLoop& loop_;
  } dialogs(loop);
  Application::Instance().SetDialogService(&dialogs);
  std::thread worker([&] { loop.Synchronize([&] { dialogs.dismissed = true; }); });
  Application::Instance().ShowMessage("Please wait");
  worker.join();
  Application::Instance().SetDialogService(nullptr);
  EXPECT_TRUE(dialogs.dismissed);
}

TEST(Synchronize, WaitingCallerIsReleasedWhenTheLoopGoesAway) {
  std::atomic<bool> failed{false};
  std::thread worker;
  {
    HeadlessEventLoop loop(HeadlessEventLoop::Clock::Virtual);
    worker = std::thread([&] {
      try {
        loop.Synchronize([] {});
      } catch (const Exception&) {
        failed = true;
      }
    });
    while (loop.PendingCount() == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  worker.join();  // must not hang
  EXPECT_TRUE(failed.load());
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

// ---- the general error report -----------------------------------------------

TEST(ErrorReport, ShowsTheMessageAndTheProgramGoesOn) {
  RecordingDialogs dialogs;
  Application::Instance().SetDialogService(&dialogs);
  bool after = false;
  RunGuarded([] { throw Exception("Can't open specified device"); });
  RunGuarded([] { throw 42; });
  RunGuarded([] { throw EAbort(); });  // quiet
  RunGuarded([&] { after = true; });
  Application::Instance().SetDialogService(nullptr);
  EXPECT_TRUE(after);
  EXPECT_EQ(dialogs.messages,
            (std::vector<std::string>{"Can't open specified device", "Unknown error"}));
}

TEST(ErrorReport, ClassNamesOfOwnAndForeignExceptions) {
  EXPECT_EQ(ExceptionClassName(EConvertError("x")), "EConvertError");
  EXPECT_EQ(ExceptionClassName(Exception("x")), "Exception");
  EXPECT_EQ(ExceptionClassName(std::out_of_range("x")), "std::out_of_range");
}

}  // namespace
}  // namespace tk
