#include <gtest/gtest.h>
#include <pthread.h>
#include <sched.h>

#include <cerrno>
#include <future>

#include "platform/system_error.h"
#include "platform/thread_priority.h"
#include "platform/tick.h"

namespace platform {
namespace {

TEST(Tick, SourceCanBeReplacedAndRestored) {
  uint32_t virtual_now = 0xFFFFFF00u;
  SetTickSourceForTesting([&] { return virtual_now; });
  EXPECT_EQ(TickCount(), 0xFFFFFF00u);
  virtual_now += 1000;  // wraps
  EXPECT_EQ(TickCount(), 0x000002E8u);
  EXPECT_EQ(static_cast<uint32_t>(TickCount() - 0xFFFFFF00u), 1000u);

  SetTickSourceForTesting({});
  const uint32_t a = TickCount();
  const uint32_t b = TickCount();
  EXPECT_NE(a, 0x000002E8u);
  EXPECT_LT(static_cast<uint32_t>(b - a), 1000u);  // monotonic, in milliseconds
}

TEST(SystemError, LastErrorAndText) {
  errno = ENOENT;
  EXPECT_EQ(LastError(), ENOENT);
  EXPECT_EQ(SystemErrorText(ENOENT), "No such file or directory");
  EXPECT_EQ(SystemErrorText(EIO), "Input/output error");
  EXPECT_FALSE(SystemErrorText(123456).empty());
}

int PolicyAfter(int level) {
  return std::async(std::launch::async,
                    [level] {
                      ApplyThreadPriority(pthread_self(), level);
                      int policy = -1;
                      sched_param param{};
                      pthread_getschedparam(pthread_self(), &policy, &param);
                      return policy;
                    })
      .get();
}

TEST(ThreadPriority, LowLevelsLowerTheThreadHighLevelsStayNormal) {
  EXPECT_EQ(PolicyAfter(kPriorityIdle), SCHED_IDLE);
  EXPECT_EQ(PolicyAfter(kPriorityLowest), SCHED_BATCH);
  EXPECT_EQ(PolicyAfter(kPriorityLower), SCHED_BATCH);
  EXPECT_EQ(PolicyAfter(kPriorityNormal), SCHED_OTHER);
  EXPECT_EQ(PolicyAfter(kPriorityHighest), SCHED_OTHER);
  EXPECT_EQ(PolicyAfter(kPriorityTimeCritical), SCHED_OTHER);
}

}  // namespace
}  // namespace platform
