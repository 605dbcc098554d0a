// What every driver of the main loop promises (toolkit/event_loop.h), written
// once and run against each of them: the headless loop on the real and on a
// virtual clock, the Qt loop and the Windows message loop.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "loop_contract/loop_driver.h"
#include "toolkit/application.h"
#include "toolkit/exceptions.h"

namespace {

using namespace std::chrono_literals;
using loop_contract::Worker;
using TimerId = tk::EventLoop::TimerId;

// Waits, without running the loop, until `done`.
bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = 2s) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!done() && std::chrono::steady_clock::now() < deadline) std::this_thread::sleep_for(1ms);
  return done();
}

}  // namespace

void LoopContract::SetUp() {
  guard_ = std::make_unique<tk::test::HangGuard>(
      std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()), 30s);
  before_ = tk::CurrentMainLoop();
  driver_ = GetParam().make();
  loop_ = driver_->Make();
  tk::Application::Instance().SetExceptionHandler(
      [this](std::exception_ptr e, tk::TObject*) { reported_.push_back(tk::ExceptionMessage(e)); });
}

void LoopContract::TearDown() {
  loop_.reset();
  driver_->HandleQueued();
  tk::Application::Instance().SetExceptionHandler(nullptr);
  guard_.reset();
}

bool LoopContract::Finish(loop_contract::Worker& worker) {
  if (!PumpUntil([&] { return worker.Finished(); })) loop_.reset();  // releases its call
  worker.Join();
  return loop_ != nullptr;
}

namespace {

TEST_P(LoopContract, InstallsItselfAsTheMainLoopAndPutsBackTheOneBefore) {
  EXPECT_EQ(tk::CurrentMainLoop(), loop_.get());
  {
    auto inner = driver_->Make();
    EXPECT_EQ(&tk::MainLoop(), inner.get());
  }
  EXPECT_EQ(tk::CurrentMainLoop(), loop_.get());
  EXPECT_TRUE(loop_->IsMainThread());
  bool main_elsewhere = true;
  std::thread([&] { main_elsewhere = loop_->IsMainThread(); }).join();
  EXPECT_FALSE(main_elsewhere);
  loop_.reset();
  EXPECT_EQ(tk::CurrentMainLoop(), before_);
}

TEST_P(LoopContract, TimersFireOnTheMainThreadEachIntervalUntilRemoved) {
  int fast = 0, tiny = 0;
  bool off_main = false;
  const int64_t start = loop_->NowMs();
  const TimerId fast_id = loop_->AddTimer(10, [&] {
    ++fast;
    off_main |= !OnMainThread();
  });
  loop_->AddTimer(0, [&] {  // 0 counts as 1 ms
    ++tiny;
    off_main |= !OnMainThread();
  });
  ASSERT_TRUE(PumpUntil([&] { return fast >= 3 && tiny >= 3; }));
  // Three periods, less what a whole-millisecond clock may round off.
  EXPECT_GE(loop_->NowMs() - start, 28);
  loop_->RemoveTimer(fast_id);
  loop_->RemoveTimer(fast_id);         // twice does nothing
  loop_->RemoveTimer(fast_id + 1000);  // nor does an unknown one
  const int fast_then = fast, tiny_then = tiny;
  ASSERT_TRUE(PumpUntil([&] { return tiny >= tiny_then + 5; }));
  EXPECT_EQ(fast, fast_then);
  EXPECT_FALSE(off_main);
}

TEST_P(LoopContract, HandlersNeverOverlapAndAllRunOnTheMainThread) {
  // Atomics: a broken driver would run handlers on other threads.
  std::atomic<int> depth{0}, deepest{0}, timer_runs{0};
  std::atomic<bool> off_main{false};
  const auto handle = [&] {
    deepest = std::max(deepest.load(), ++depth);
    if (!OnMainThread()) off_main = true;
    std::this_thread::sleep_for(1ms);  // long enough for an overlap to show
    --depth;
  };
  const TimerId a = loop_->AddTimer(2, [&] {
    handle();
    ++timer_runs;
  });
  const TimerId b = loop_->AddTimer(3, [&] {
    handle();
    ++timer_runs;
  });
  Worker worker([&] {
    for (int i = 0; i < 20; ++i) loop_->Synchronize(handle);
  });
  ASSERT_TRUE(Finish(worker));
  ASSERT_TRUE(PumpUntil([&] { return timer_runs >= 6; }));
  loop_->RemoveTimer(a);
  loop_->RemoveTimer(b);
  EXPECT_EQ(deepest, 1);
  EXPECT_FALSE(off_main);
}

TEST_P(LoopContract, AHandlerMayRemoveItsOwnTimerAndItsErrorGoesToTheReport) {
  int fired = 0, other = 0;
  TimerId id = 0;
  id = loop_->AddTimer(5, [&] {
    ++fired;
    loop_->RemoveTimer(id);
    throw std::runtime_error("timer failed");
  });
  loop_->AddTimer(5, [&] { ++other; });
  ASSERT_TRUE(PumpUntil([&] { return fired > 0 && other >= 5; }));  // the loop goes on
  EXPECT_EQ(fired, 1);
  EXPECT_EQ(reported_, std::vector<std::string>{"timer failed"});
}

TEST_P(LoopContract, InsideAModalBoxOtherTimersAndCallsRunButNotTheHandlerThatOpenedIt) {
  int entered = 0, other = 0, entered_while_open = -1;
  bool box_closed_by_its_condition = false;
  std::atomic<bool> call_ran{false};
  std::unique_ptr<Worker> worker;
  const TimerId id = loop_->AddTimer(5, [&] {
    if (++entered != 1) return;
    // Once the box is up, a thread asks for a call, and another timer ticks.
    worker = std::make_unique<Worker>([&] { loop_->Synchronize([&] { call_ran = true; }); });
    box_closed_by_its_condition = driver_->RunModal(
        *loop_, [&] { return call_ran && other >= 10; }, kGenerousMs);
    entered_while_open = entered;
  });
  loop_->AddTimer(5, [&] { ++other; });
  ASSERT_TRUE(PumpUntil([&] { return entered_while_open >= 0 && entered > 1; }));
  ASSERT_TRUE(Finish(*worker));
  loop_->RemoveTimer(id);
  EXPECT_TRUE(box_closed_by_its_condition) << "timers and calls go on while the box is open";
  EXPECT_EQ(entered_while_open, 1) << "the handler ran again underneath its own box";
  EXPECT_GT(entered, 1) << "the timer goes on once its handler is done";
}

TEST_P(LoopContract, CallsOfOtherThreadsBlockTheirCallersUntilRunAndRunInTheOrderMade) {
  std::atomic<int> ran{0};
  std::atomic<bool> off_main{false};
  std::vector<int> order;
  std::vector<std::unique_ptr<Worker>> workers;
  // Each caller starts once the call before is waiting, so the order in
  // which the calls were made is known. Nobody runs the loop meanwhile.
  for (int i = 0; i < 5; ++i) {
    workers.push_back(std::make_unique<Worker>([&, i] {
      loop_->Synchronize([&, i] {
        order.push_back(i);
        if (!OnMainThread()) off_main = true;
        ++ran;
      });
    }));
    ASSERT_TRUE(WaitUntil([&] { return loop_->PendingCount() == static_cast<size_t>(i + 1); }));
  }
  std::this_thread::sleep_for(20ms);
  EXPECT_EQ(ran, 0);
  for (auto& worker : workers) EXPECT_FALSE(worker->Finished());
  for (auto& worker : workers) ASSERT_TRUE(Finish(*worker));
  EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 3, 4}));
  EXPECT_FALSE(off_main);
}

TEST_P(LoopContract, CallsOfManyThreadsEachRunOnceAndInTheOrderOfTheirThread) {
  constexpr int kThreads = 4;
  constexpr int kCallsEach = 50;
  std::vector<std::pair<int, int>> seen;  // (thread, call) as run on the main thread
  std::vector<std::unique_ptr<Worker>> workers;
  for (int t = 0; t < kThreads; ++t)
    workers.push_back(std::make_unique<Worker>([&, t] {
      for (int i = 0; i < kCallsEach; ++i)
        loop_->Synchronize([&seen, t, i] { seen.emplace_back(t, i); });
    }));
  for (auto& worker : workers) ASSERT_TRUE(Finish(*worker));
  ASSERT_EQ(seen.size(), static_cast<size_t>(kThreads * kCallsEach));
  std::vector<int> next(kThreads, 0);
  for (const auto& [t, i] : seen) EXPECT_EQ(i, next[static_cast<size_t>(t)]++);
}

TEST_P(LoopContract, ACallMadeOnTheMainThreadRunsAtOnceAndRaisesThere) {
  bool ran = false;
  loop_->Synchronize([&] { ran = true; });
  EXPECT_TRUE(ran);
  EXPECT_THROW(loop_->Synchronize([] { throw std::logic_error("on the main thread"); }),
               std::logic_error);
  EXPECT_EQ(loop_->RunPendingCalls(), 0);
  EXPECT_TRUE(reported_.empty());
}

TEST_P(LoopContract, AnExceptionOfACallIsCarriedBackToItsCaller) {
  std::string caught;
  Worker worker([&] {
    try {
      loop_->Synchronize([] { throw tk::EConvertError("bad value"); });
    } catch (const tk::EConvertError& e) {
      caught = e.what();
    }
  });
  ASSERT_TRUE(Finish(worker));
  EXPECT_EQ(caught, "bad value");
  EXPECT_TRUE(reported_.empty()) << "the caller handles it, not the error report";
}

TEST_P(LoopContract, RunPendingCallsServesTheWaitingCallsWithoutTheLoopRunning) {
  std::atomic<bool> ran_on_main{false};
  Worker worker([&] { loop_->Synchronize([&] { ran_on_main = OnMainThread(); }); });
  ASSERT_TRUE(WaitUntil([&] { return loop_->PendingCount() == 1; }));
  // As TThread::WaitFor does on the main thread: only the waiting calls.
  EXPECT_EQ(loop_->RunPendingCalls(), 1);
  EXPECT_TRUE(WaitUntil([&] { return worker.Finished(); }));
  ASSERT_TRUE(Finish(worker));
  EXPECT_TRUE(ran_on_main);
  EXPECT_EQ(loop_->RunPendingCalls(), 0);
  driver_->HandleQueued();  // the wake-up posted for the call finds nothing left
}

TEST_P(LoopContract, PauseBlocksTheMainThreadAndRunsNothingMeanwhile) {
  int fired = 0;
  std::atomic<bool> call_ran{false};
  loop_->AddTimer(1, [&] { ++fired; });
  Worker worker([&] { loop_->Synchronize([&] { call_ran = true; }); });
  ASSERT_TRUE(WaitUntil([&] { return loop_->PendingCount() == 1; }));
  const int64_t start = loop_->NowMs();
  loop_->Pause(40);
  EXPECT_GE(loop_->NowMs() - start, 40);
  EXPECT_EQ(fired, 0);
  EXPECT_FALSE(call_ran);
  ASSERT_TRUE(Finish(worker));
  EXPECT_TRUE(PumpUntil([&] { return fired > 0; }));
}

TEST_P(LoopContract, QuitEndsRunFromAHandlerFromAnotherThreadAndBeforeRun) {
  int ticks = 0;
  const TimerId id = loop_->AddTimer(5, [&] {
    if (++ticks == 2) loop_->Quit();
  });
  loop_->Run();
  EXPECT_EQ(ticks, 2) << "Run goes on after Quit";
  loop_->RemoveTimer(id);

  loop_->Quit();  // the window closed before the loop started
  loop_->Run();   // ends at once

  // From another thread, once its call has shown that Run is running.
  Worker worker([&] {
    loop_->Synchronize([] {});
    loop_->Quit();
  });
  loop_->Run();
  worker.Join();
  EXPECT_FALSE(worker.Released());
}

TEST_P(LoopContract, TimersMayBeAddedAndRemovedFromAnotherThread) {
  std::atomic<int> fired{0};
  std::atomic<bool> off_main{false};
  Worker worker([&] {
    const TimerId id = loop_->AddTimer(5, [&] {
      ++fired;
      if (!OnMainThread()) off_main = true;
    });
    WaitUntil([&] { return fired >= 3; });
    loop_->RemoveTimer(id);
  });
  ASSERT_TRUE(Finish(worker));
  const int at_removal = fired;
  PumpFor(50);
  EXPECT_GE(at_removal, 3);
  EXPECT_EQ(fired, at_removal);
  EXPECT_FALSE(off_main);
}

TEST_P(LoopContract, DestroyingTheLoopReleasesAWaitingCallerAndLaterCallsFailAtOnce) {
  ASSERT_EQ(before_, nullptr) << "a later call must find no loop at all";
  loop_->AddTimer(1, [] {});  // still set when the loop goes
  tk::MainThreadLoop* loop = loop_.get();
  std::atomic<bool> gone{false};
  std::string first_error, later_error;
  Worker worker([&] {
    try {
      loop->Synchronize([] {});
    } catch (const tk::Exception& e) {
      first_error = e.what();
    }
    WaitUntil([&] { return gone.load(); });
    try {
      tk::MainLoop().Synchronize([] {});  // as TThread::Synchronize does
    } catch (const tk::Exception& e) {
      later_error = e.what();
    }
  });
  ASSERT_TRUE(WaitUntil([&] { return loop_->PendingCount() == 1; }));
  loop_.reset();
  gone = true;
  worker.Join();
  EXPECT_EQ(first_error, "The main event loop has ended");
  EXPECT_EQ(later_error, "No main event loop has been set up");
}

}  // namespace
