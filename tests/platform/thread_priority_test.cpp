#include "platform/thread_priority.h"

#include <gtest/gtest.h>
#include <pthread.h>
#include <sched.h>

#include <future>

namespace platform {
namespace {

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
