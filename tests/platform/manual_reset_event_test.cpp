#include "platform/manual_reset_event.h"

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <future>
#include <thread>
#include <vector>

namespace platform {
namespace {

using Clock = std::chrono::steady_clock;

TEST(ManualResetEvent, SignalReleasesEveryWaiterAndStaysSignaledUntilReset) {
  ManualResetEvent event;
  std::vector<std::future<WaitResult>> waiters;
  for (int i = 0; i < 3; ++i) {
    waiters.push_back(std::async(std::launch::async, [&] { return event.Wait(kInfinite); }));
  }
  // None may pass before the signal.
  for (auto& w : waiters) {
    EXPECT_EQ(w.wait_for(std::chrono::milliseconds(20)), std::future_status::timeout);
  }
  event.Signal();
  for (auto& w : waiters) EXPECT_EQ(w.get(), WaitResult::Signaled);

  EXPECT_TRUE(event.IsSignaled());
  EXPECT_EQ(event.Wait(0), WaitResult::Signaled);
  EXPECT_EQ(event.Wait(0), WaitResult::Signaled);
  event.Signal();  // signalling twice needs one reset, like the original
  event.Reset();
  EXPECT_FALSE(event.IsSignaled());
  EXPECT_EQ(event.Wait(0), WaitResult::Timeout);
}

TEST(ManualResetEvent, WaitTimesOut) {
  ManualResetEvent event;
  auto start = Clock::now();
  EXPECT_EQ(event.Wait(0), WaitResult::Timeout);
  EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(50));

  start = Clock::now();
  EXPECT_EQ(event.Wait(30), WaitResult::Timeout);
  const auto waited = Clock::now() - start;
  EXPECT_GE(waited, std::chrono::milliseconds(29));
  EXPECT_LT(waited, std::chrono::milliseconds(500));
}

TEST(ManualResetEvent, SignalFromAnotherThreadEndsATimedWait) {
  ManualResetEvent event;
  std::thread signaller([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    event.Signal();
  });
  EXPECT_EQ(event.Wait(5000), WaitResult::Signaled);
  signaller.join();
}

TEST(ManualResetEvent, InitiallySignaled) {
  ManualResetEvent event(true);
  EXPECT_EQ(event.Wait(0), WaitResult::Signaled);
}

TEST(WaitForAny, LowestSignaledIndexWins) {
  ManualResetEvent a, b, c;
  std::array<ManualResetEvent*, 3> events{&a, &b, &c};
  EXPECT_EQ(WaitForAny(events, 0), -1);

  c.Signal();
  EXPECT_EQ(WaitForAny(events, 0), 2);
  b.Signal();
  EXPECT_EQ(WaitForAny(events, kInfinite), 1);
  a.Signal();
  EXPECT_EQ(WaitForAny(events, kInfinite), 0);
  a.Reset();
  b.Reset();
  EXPECT_EQ(WaitForAny(events, 0), 2);
}

TEST(WaitForAny, WakesWhenAnEventIsSignaledLater) {
  ManualResetEvent stop, data;
  std::array<ManualResetEvent*, 2> events{&stop, &data};
  auto waiter = std::async(std::launch::async, [&] { return WaitForAny(events, kInfinite); });
  EXPECT_EQ(waiter.wait_for(std::chrono::milliseconds(20)), std::future_status::timeout);
  data.Signal();
  EXPECT_EQ(waiter.get(), 1);
}

TEST(WaitForAny, TimesOutAfterTheGivenTime) {
  ManualResetEvent a;
  std::array<ManualResetEvent*, 1> events{&a};
  const auto start = Clock::now();
  EXPECT_EQ(WaitForAny(events, 25), -1);
  EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(24));
}

}  // namespace
}  // namespace platform
