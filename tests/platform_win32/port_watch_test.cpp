// Waiting for a port on Windows: the serial-port map is watched.
#include "platform/port_watch.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "platform/process_time.h"
#include "serial_port_map.h"

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace platform {
namespace {

using testsupport::SerialPortMap;

TEST(PortWatchWin32, APortEnteredInTheMapWakesTheWaiterWithinAboutASecond) {
  SerialPortMap map;
  if (!map.writable()) GTEST_SKIP() << "the serial-port map is not writable here";
  PortWatch watch;
  const auto start = Clock::now();
  std::thread plug([&] {
    std::this_thread::sleep_for(100ms);
    map.Add(L"\\Device\\QuarnelTestWatch", REG_SZ, L"COM371");
  });
  EXPECT_EQ(watch.Wait(nullptr, 5000), PortWatch::Wake::Changed);
  plug.join();
  EXPECT_LT(Clock::now() - start, 1500ms);

  // Its leaving too, even between two waits.
  map.Remove(L"\\Device\\QuarnelTestWatch");
  EXPECT_EQ(watch.Wait(nullptr, 5000), PortWatch::Wake::Changed);
}

TEST(PortWatchWin32, NothingHappeningCostsNoProcessorTimeAndEndsAtTheTimeOut) {
  PortWatch watch;
  const auto cpu_before = ProcessCpuTime();
  const auto start = Clock::now();
  // Other tests may change the map meanwhile: each change wakes the waiter
  // once, and the wait goes on until its time is up.
  PortWatch::Wake last = PortWatch::Wake::Changed;
  int changes = 0;
  while (last == PortWatch::Wake::Changed && changes < 20) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(start + 1500ms - Clock::now());
    last = watch.Wait(nullptr, static_cast<uint32_t>(std::max<long long>(left.count(), 0)));
    if (last == PortWatch::Wake::Changed) ++changes;
  }
  EXPECT_EQ(last, PortWatch::Wake::Timeout);
  EXPECT_LT(changes, 20);
  const auto took = Clock::now() - start;
  EXPECT_GE(took, 1500ms);
  EXPECT_LT(took, 2500ms);
  EXPECT_LT(ProcessCpuTime() - cpu_before, 50ms);
}

TEST(PortWatchWin32, TheWakeUpEventEndsTheWaitAtOnce) {
  PortWatch watch;
  ManualResetEvent wakeup;
  const auto start = Clock::now();
  std::thread stop([&] {
    std::this_thread::sleep_for(50ms);
    wakeup.Signal();
  });
  EXPECT_EQ(watch.Wait(&wakeup, kInfinite), PortWatch::Wake::WakeUp);
  stop.join();
  EXPECT_LT(Clock::now() - start, 500ms);
}

}  // namespace
}  // namespace platform
