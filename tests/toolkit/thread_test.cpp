// TThread: suspended start, stop flag, free on end, priority, Synchronize,
// and a thread that the system refuses.
#include "toolkit/thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include "toolkit/application.h"
#include "toolkit/exceptions.h"
#include "toolkit/hang_guard.h"
#include "toolkit/headless_event_loop.h"
#include "toolkit/refused_threads.h"

namespace tk {
namespace {

constexpr int64_t kGenerousMs = 5000;

class CountingThread : public TThread {
 public:
  ~CountingThread() override {
    Terminate();
    WaitFor();
  }
  std::atomic<int> runs{0};
  std::atomic<bool> saw_stop{false};
  std::atomic<bool> wait_for_stop{false};

 protected:
  void Execute() override {
    ++runs;
    while (wait_for_stop && !Terminated())
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    saw_stop = Terminated();
  }
};

TEST(Thread, NothingRunsUntilResume) {
  CountingThread t;
  std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_EQ(t.runs.load(), 0);
  EXPECT_FALSE(t.Finished());
  t.Resume();
  t.WaitFor();
  EXPECT_EQ(t.runs.load(), 1);
  EXPECT_TRUE(t.Finished());
  t.Resume();  // once only
  EXPECT_EQ(t.runs.load(), 1);
}

TEST(Thread, StopFlagSetBeforeStartMeansTheBodyNeverRuns) {
  CountingThread t;
  t.Terminate();
  t.Resume();
  t.WaitFor();
  EXPECT_EQ(t.runs.load(), 0);
  EXPECT_TRUE(t.Finished());
}

TEST(Thread, BodySeesTheStopFlag) {
  CountingThread t;
  t.wait_for_stop = true;
  t.Resume();
  while (t.runs.load() == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  EXPECT_FALSE(t.Finished());  // the body waits for its stop flag
  t.Terminate();
  t.WaitFor();
  EXPECT_TRUE(t.saw_stop.load());
}

// Its body tells flags outside the object that it runs, and that it ended
// on its stop flag.
class StopReportingThread : public TThread {
 public:
  StopReportingThread(std::atomic<bool>& running, std::atomic<bool>& saw_stop)
      : running_(running), saw_stop_(saw_stop) {}
  ~StopReportingThread() override {
    Terminate();
    WaitFor();
  }

 protected:
  void Execute() override {
    running_ = true;
    while (!Terminated()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    saw_stop_ = true;
  }

 private:
  std::atomic<bool>& running_;
  std::atomic<bool>& saw_stop_;
};

TEST(Thread, DestroyingARunningThreadStopsIt) {
  std::atomic<bool> running{false}, saw_stop{false};
  auto t = std::make_unique<StopReportingThread>(running, saw_stop);
  t->Resume();
  while (!running) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  const auto start = std::chrono::steady_clock::now();
  t.reset();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(kGenerousMs));
  EXPECT_TRUE(saw_stop) << "the body ended on its stop flag before the object went";
}

class SelfFreeingThread : public TThread {
 public:
  explicit SelfFreeingThread(std::atomic<bool>& destroyed) : destroyed_(destroyed) {
    SetFreeOnTerminate(true);
  }
  ~SelfFreeingThread() override { destroyed_ = true; }

 protected:
  void Execute() override {}

 private:
  std::atomic<bool>& destroyed_;
};

TEST(Thread, FreeOnEndDeletesItselfAfterTheBody) {
  std::atomic<bool> destroyed{false};
  auto* t = new SelfFreeingThread(destroyed);
  t->SetPriority(TThreadPriority::tpHigher);
  t->Resume();
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (!destroyed && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  EXPECT_TRUE(destroyed.load());
}

TEST(Thread, FreeOnEndAlsoWhenStoppedBeforeStart) {
  std::atomic<bool> destroyed{false};
  auto* t = new SelfFreeingThread(destroyed);
  t->Terminate();
  t->Resume();
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (!destroyed && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  EXPECT_TRUE(destroyed.load());
}

TEST(Thread, EveryPriorityIsAcceptedBeforeAndWhileRunning) {
  const TThreadPriority all[] = {TThreadPriority::tpIdle,        TThreadPriority::tpLowest,
                                 TThreadPriority::tpLower,       TThreadPriority::tpNormal,
                                 TThreadPriority::tpHigher,      TThreadPriority::tpHighest,
                                 TThreadPriority::tpTimeCritical};
  const int levels[] = {-15, -2, -1, 0, 1, 2, 15};
  for (size_t i = 0; i < std::size(all); ++i) EXPECT_EQ(PriorityLevel(all[i]), levels[i]);

  CountingThread t;
  t.wait_for_stop = true;
  t.SetPriority(TThreadPriority::tpTimeCritical);
  t.Resume();
  while (t.runs.load() == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  for (TThreadPriority p : all) {
    t.SetPriority(p);
    EXPECT_EQ(t.Priority(), p);
  }
  t.Terminate();
  t.WaitFor();
  EXPECT_EQ(t.runs.load(), 1);
}

class ThrowingThread : public TThread {
 protected:
  void Execute() override { throw Exception("Error writing dcb (5), Input/output error"); }
};

TEST(Thread, ExceptionEscapingTheBodyIsKeptAndEndsTheThread) {
  ThrowingThread t;
  t.Resume();
  t.WaitFor();
  EXPECT_TRUE(t.Finished());
  ASSERT_TRUE(t.FatalException());
  EXPECT_THROW(std::rethrow_exception(t.FatalException()), Exception);
}

class SynchronizingThread : public TThread {
 public:
  ~SynchronizingThread() override {
    Terminate();
    WaitFor();
  }
  std::thread::id ran_on;
  int calls = 0;
  std::exception_ptr caught;

 protected:
  void Execute() override {
    Synchronize([this] {
      ran_on = std::this_thread::get_id();
      ++calls;
    });
    try {
      Synchronize([] { throw Exception("handler failed"); });
    } catch (...) {
      caught = std::current_exception();
    }
    // Unhandled this time: ends the thread with the exception kept.
    Synchronize([] { throw Exception("second failure"); });
    ++calls;  // never reached
  }
};

TEST(Thread, SynchronizeRunsOnTheMainThreadAndCarriesExceptionsBack) {
  HeadlessEventLoop loop(HeadlessEventLoop::Clock::Virtual);
  SynchronizingThread t;
  t.Resume();
  EXPECT_TRUE(loop.RunUntil([&] { return t.Finished(); }, kGenerousMs));
  t.WaitFor();
  EXPECT_EQ(t.ran_on, std::this_thread::get_id());
  EXPECT_EQ(t.calls, 1);
  EXPECT_TRUE(t.caught);
  ASSERT_TRUE(t.FatalException());
  EXPECT_EQ(ExceptionMessage(t.FatalException()), "second failure");
}

TEST(Thread, WaitForOnTheMainThreadServesTheThreadsCalls) {
  // The body synchronizes while the main thread waits for it: no deadlock.
  HeadlessEventLoop loop(HeadlessEventLoop::Clock::Virtual);
  SynchronizingThread t;
  t.Resume();
  t.WaitFor();
  EXPECT_TRUE(t.Finished());
  EXPECT_EQ(t.calls, 1);
}

// ---- a thread the system refuses ----------------------------------------------

TEST(Thread, ARefusedThreadIsAnErrorOfResumeAndNothingWaitsForIt) {
  HeadlessEventLoop loop(HeadlessEventLoop::Clock::Virtual);
  CountingThread t;
  {
    test::RefusedThreads refused;
    try {
      t.Resume();
      ADD_FAILURE() << "Resume returned for a thread that was refused";
    } catch (const EThreadStartError& e) {
      EXPECT_EQ(e.Code(), std::errc::resource_unavailable_try_again);
      EXPECT_FALSE(e.Reason().empty());
      EXPECT_EQ(std::string(e.what()), "Cannot start a thread: " + e.Reason());
    }
    EXPECT_FALSE(t.Finished());
    // Nothing may wait for a body that never ran.
    test::HangGuard guard("WaitFor on a refused thread", std::chrono::seconds(5));
    t.WaitFor();
  }
  // Once threads can be made again, the same object starts.
  t.Resume();
  t.WaitFor();
  EXPECT_EQ(t.runs.load(), 1);
}

}  // namespace
}  // namespace tk
