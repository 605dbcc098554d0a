#include "platform/thread_priority.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <future>
#include <thread>

namespace platform {
namespace {

// Applies `level` to a running std::thread through its native handle, as the
// toolkit does, and returns the priority the thread then sees for itself.
int PriorityAfter(int level) {
  std::promise<void> applied;
  std::promise<int> seen;
  std::thread thread([go = applied.get_future(), &seen]() mutable {
    go.wait();
    seen.set_value(::GetThreadPriority(::GetCurrentThread()));
  });
  ApplyThreadPriority(thread.native_handle(), level);
  applied.set_value();
  thread.join();
  return seen.get_future().get();
}

TEST(ThreadPriorityWin32, EachLevelReachesTheThread) {
  EXPECT_EQ(PriorityAfter(kPriorityIdle), THREAD_PRIORITY_IDLE);
  EXPECT_EQ(PriorityAfter(kPriorityLowest), THREAD_PRIORITY_LOWEST);
  EXPECT_EQ(PriorityAfter(kPriorityLower), THREAD_PRIORITY_BELOW_NORMAL);
  EXPECT_EQ(PriorityAfter(kPriorityNormal), THREAD_PRIORITY_NORMAL);
  EXPECT_EQ(PriorityAfter(kPriorityHigher), THREAD_PRIORITY_ABOVE_NORMAL);
  EXPECT_EQ(PriorityAfter(kPriorityHighest), THREAD_PRIORITY_HIGHEST);
  EXPECT_EQ(PriorityAfter(kPriorityTimeCritical), THREAD_PRIORITY_TIME_CRITICAL);
}

TEST(ThreadPriorityWin32, LevelsBetweenTheNamedOnesTakeTheNearestAccepted) {
  // SetThreadPriority refuses 3..14 and -14..-3 outright.
  EXPECT_EQ(PriorityAfter(7), THREAD_PRIORITY_HIGHEST);
  EXPECT_EQ(PriorityAfter(-7), THREAD_PRIORITY_LOWEST);
  EXPECT_EQ(PriorityAfter(100), THREAD_PRIORITY_TIME_CRITICAL);
  EXPECT_EQ(PriorityAfter(-100), THREAD_PRIORITY_IDLE);
}

}  // namespace
}  // namespace platform
