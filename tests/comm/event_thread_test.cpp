// The event thread over a pseudo-terminal: every line end reaches the main
// thread as one OnRxFlag, one hand-off at a time, and the thread survives a
// raising handler and ends cleanly however the port is closed.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "comm/VaComm.h"
#include "thread_test_support.h"
#include "toolkit/exceptions.h"

namespace comm::test {
namespace {

using namespace std::chrono_literals;

class EventThreadTest : public PortOnPty {};

TEST_F(EventThreadTest, EachLineEndGivesOneRxFlagWithTheWholeLine) {
  std::vector<std::string> lines;
  port_.OnRxFlag = [&](tk::TObject*) { lines.push_back(port_.ReadText()); };
  port_.Open();

  WriteAll(Master(), "hello\n");
  ASSERT_TRUE(PumpUntil([&] { return !lines.empty(); }));
  PumpFor(100);  // nothing else may follow for this one line
  EXPECT_EQ(lines, std::vector<std::string>{"hello\n"});

  // Bytes without a line end give no notification; the next line end brings
  // them along.
  WriteAll(Master(), "par");
  PumpFor(100);
  EXPECT_EQ(lines.size(), 1u);
  WriteAll(Master(), "tial\n");
  ASSERT_TRUE(PumpUntil([&] { return lines.size() == 2; }));

  for (int i = 0; i < 20; ++i) {
    WriteAll(Master(), "line " + std::to_string(i) + "\n");
    ASSERT_TRUE(PumpUntil([&] { return lines.size() == static_cast<size_t>(3 + i); }));
  }
  PumpFor(50);
  ASSERT_EQ(lines.size(), 22u);
  EXPECT_EQ(lines[1], "partial\n");
  EXPECT_EQ(lines[21], "line 19\n");
}

TEST_F(EventThreadTest, HandOffsNeverOverlapAndRunOnTheMainThread) {
  int depth = 0;
  int deepest = 0;
  bool off_main_thread = false;
  std::vector<std::string> texts;
  port_.OnRxFlag = [&](tk::TObject*) {
    ++depth;
    deepest = std::max(deepest, depth);
    off_main_thread |= !loop_.IsMainThread();
    texts.push_back(port_.ReadText());
    if (texts.size() == 1) {
      // Lines that arrive while this handler runs must wait for it to return.
      WriteAll(Master(), "second\nthird\n");
      std::this_thread::sleep_for(100ms);
    }
    --depth;
  };
  port_.Open();

  WriteAll(Master(), "first\n");
  ASSERT_TRUE(PumpUntil([&] { return texts.size() >= 2; }));
  PumpFor(100);
  EXPECT_EQ(deepest, 1);
  EXPECT_FALSE(off_main_thread);
  // A hand-off carries a set of events, not a count: both waiting lines come
  // with the one notification that follows the handler.
  EXPECT_EQ(texts, (std::vector<std::string>{"first\n", "second\nthird\n"}));
}

TEST_F(EventThreadTest, RaisingHandlerIsReportedAndTheNextLineStillArrives) {
  std::vector<std::string> texts;
  port_.OnRxFlag = [&](tk::TObject*) {
    texts.push_back(port_.ReadText());
    if (texts.size() == 1) throw tk::Exception("handler failed");
  };
  port_.Open();

  WriteAll(Master(), "one\n");
  ASSERT_TRUE(PumpUntil([&] { return !reported_.empty(); }));
  WriteAll(Master(), "two\n");
  ASSERT_TRUE(PumpUntil([&] { return texts.size() == 2; }));
  EXPECT_EQ(texts[1], "two\n");
  EXPECT_EQ(reported_, std::vector<std::string>{"handler failed"});
  EXPECT_EQ(reporters_, std::vector<std::string>{"TVaCommEventThread"});
}

TEST_F(EventThreadTest, NoEventThreadRunsWithAnEmptyEventSet) {
  int notifications = 0;
  port_.OnRxFlag = [&](tk::TObject*) { ++notifications; };
  port_.SetMonitorEvents(TVaCommEvents{});
  port_.Open();
  EXPECT_EQ(ThreadCount(), baseline_threads_ + 1) << "only the writer thread may run";
  WriteAll(Master(), "ignored\n");
  PumpFor(100);
  EXPECT_EQ(notifications, 0);
  port_.Close();
  ASSERT_TRUE(WaitForThreads(baseline_threads_));

  port_.SetMonitorEvents(TVaCommEvents{ceRxFlag});
  port_.Open();
  EXPECT_EQ(ThreadCount(), baseline_threads_ + 2);
}

TEST_F(EventThreadTest, ClosingInsideOnRxFlagEndsTheThreadWithoutAnotherHandOff) {
  int calls = 0;
  port_.OnRxFlag = [&](tk::TObject*) {
    ++calls;
    // A further line is already waiting when the port closes.
    WriteAll(Master(), "after\n");
    std::this_thread::sleep_for(20ms);
    port_.Close();
  };
  port_.Open();

  WriteAll(Master(), "bye\n");
  ASSERT_TRUE(PumpUntil([&] { return calls == 1; }));
  EXPECT_FALSE(port_.Active());
  EXPECT_TRUE(WaitForThreads(baseline_threads_));
  PumpFor(50);
  EXPECT_EQ(calls, 1);
}

TEST_F(EventThreadTest, ClosingRightAfterOpeningDeliversNothing) {
  int calls = 0;
  port_.OnRxFlag = [&](tk::TObject*) { ++calls; };
  for (int i = 0; i < 100; ++i) {
    // A line is already waiting, so a thread that ran at all would find it.
    WriteAll(Master(), "x\n");
    port_.Open();  // the device must be free again at once
    port_.Close();
  }
  EXPECT_TRUE(WaitForThreads(baseline_threads_));
  PumpFor(50);
  EXPECT_EQ(calls, 0);
}

TEST_F(EventThreadTest, HandOffQueuedWhenThePortClosesNeverReachesIt) {
  HandOffCountingLoop counting(loop_);
  int calls = 0;
  port_.OnRxFlag = [&](tk::TObject*) { ++calls; };
  port_.Open();

  // The main thread is busy (not pumping) while the line arrives, so the
  // event thread's hand-off waits in the queue when the port closes.
  WriteAll(Master(), "late\n");
  ASSERT_TRUE(counting.WaitForHandOffs(1, 2s));
  port_.Close();

  EXPECT_TRUE(WaitForThreads(baseline_threads_));
  EXPECT_EQ(calls, 0);
  EXPECT_TRUE(reported_.empty());
}

}  // namespace
}  // namespace comm::test
