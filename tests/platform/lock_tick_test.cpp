#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>

#include "platform/recursive_lock.h"
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

TEST(Tick, CountsMilliseconds) {
  const auto start = std::chrono::steady_clock::now();
  const uint32_t first = TickCount();
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  const uint32_t ticks = TickCount() - first;
  const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
                           std::chrono::steady_clock::now() - start)
                           .count();
  EXPECT_GE(ticks, 49u);
  EXPECT_LE(ticks, static_cast<uint32_t>(elapsed) + 1);
}

TEST(RecursiveLock, TheHolderEntersAgainOthersWaitUntilEveryEnterIsLeft) {
  RecursiveLock lock;
  lock.Enter();
  lock.Enter();  // would deadlock on a plain mutex
  std::atomic<bool> entered{false};
  auto other = std::async(std::launch::async, [&] {
    RecursiveLockGuard guard(lock);
    entered = true;
  });
  lock.Leave();
  EXPECT_EQ(other.wait_for(std::chrono::milliseconds(30)), std::future_status::timeout);
  EXPECT_FALSE(entered.load()) << "still held once";
  lock.Leave();
  other.get();
  EXPECT_TRUE(entered.load());
}

}  // namespace
}  // namespace platform
