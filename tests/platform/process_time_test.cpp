#include "platform/process_time.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace platform {
namespace {

using namespace std::chrono_literals;

TEST(ProcessCpuTime, GrowsWhileTheProcessWorksAndHardlyWhileItSleeps) {
  const auto before_sleep = ProcessCpuTime();
  std::this_thread::sleep_for(100ms);
  EXPECT_LT(ProcessCpuTime() - before_sleep, 40ms);

  // Spins until the count moves on by a good step, as it must; a count that
  // stood still (the wall clock's or nobody's) would keep it spinning until
  // the deadline.
  const auto before_work = ProcessCpuTime();
  const auto deadline = std::chrono::steady_clock::now() + 10s;
  volatile unsigned sink = 0;
  while (ProcessCpuTime() - before_work < 50ms && std::chrono::steady_clock::now() < deadline) {
    for (int i = 0; i < 100000; ++i) sink = sink + static_cast<unsigned>(i);
  }
  EXPECT_GE(ProcessCpuTime() - before_work, 50ms);
}

}  // namespace
}  // namespace platform
