#include "platform/port_watch.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <optional>
#include <thread>

#include "platform/process_time.h"
#include "support/temp_dir.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace platform {
namespace {

// The directories a station watches, in a fake /dev and runtime directory
// where none of the serial or virtual-port directories exists yet.
class PortWatchOnFakeDirectories : public ::testing::Test {
 protected:
  PortWatchOnFakeDirectories() {
    fs::create_directories(dev_);
    fs::create_directories(run_);
  }

  std::vector<fs::path> Watched() const {
    return {dev_, dev_ / "serial" / "by-path", dev_ / "serial" / "by-id", Ports()};
  }
  fs::path Ports() const { return run_ / "quarnel" / "ports"; }
  static void Touch(const fs::path& file) { std::ofstream{file}; }
  // Takes what was seen so far, so that only what comes next counts.
  static void Drain(PortWatch& watch) {
    while (watch.Wait(nullptr, 100) == PortWatch::Wake::Changed) {
    }
  }
  // A change made on another thread `after` the wait began wakes it, and
  // promptly.
  static void ExpectWokenBy(PortWatch& watch, std::function<void()> change) {
    Drain(watch);
    const auto start = Clock::now();
    std::thread changer = Later(50ms, std::move(change));
    EXPECT_EQ(watch.Wait(nullptr, 5000), PortWatch::Wake::Changed);
    changer.join();
    EXPECT_LT(Clock::now() - start, 500ms);
  }

  // Runs `change` on another thread `after` the wait has begun.
  static std::thread Later(std::chrono::milliseconds after, std::function<void()> change) {
    return std::thread([after, change = std::move(change)] {
      std::this_thread::sleep_for(after);
      change();
    });
  }

  testsupport::TempDir dir_{"quarnel-port-watch"};
  fs::path dev_ = dir_.path() / "dev";
  fs::path run_ = dir_.path() / "run";
};

TEST_F(PortWatchOnFakeDirectories, ANewDeviceWakesTheWaiterAtOnce) {
  PortWatch watch(Watched());
  ExpectWokenBy(watch, [&] { Touch(dev_ / "ttyUSB0"); });
  ExpectWokenBy(watch, [&] { fs::remove(dev_ / "ttyUSB0"); });
  // udev hands the node to its group after making it.
  Touch(dev_ / "ttyUSB1");
  ExpectWokenBy(watch, [&] {
    fs::permissions(dev_ / "ttyUSB1", fs::perms::group_write, fs::perm_options::add);
  });
}

TEST_F(PortWatchOnFakeDirectories, DirectoriesMadeAfterTheWatchBeganAreWatchedToo) {
  PortWatch watch(Watched());
  // udev makes /dev/serial/by-path with the first adapter's link.
  ExpectWokenBy(watch, [&] { fs::create_directories(dev_ / "serial" / "by-path"); });
  // Whatever is made in it from now on wakes the waiter as well.
  ExpectWokenBy(watch, [&] {
    fs::create_symlink("../../ttyUSB0", dev_ / "serial" / "by-path" / "pci-0:1.2:1.0-port0");
  });
  // The virtual-port directory, three levels of it missing, and an entry.
  ExpectWokenBy(watch, [&] { fs::create_directories(Ports()); });
  ExpectWokenBy(watch, [&] { Touch(Ports() / "sim0"); });
}

TEST_F(PortWatchOnFakeDirectories, ADirectoryRemovedAndMadeAgainIsWatchedAgain) {
  fs::create_directories(dev_ / "serial" / "by-id");
  PortWatch watch(Watched());
  // udev removes /dev/serial with the last adapter.
  fs::remove_all(dev_ / "serial");
  EXPECT_EQ(watch.Wait(nullptr, 5000), PortWatch::Wake::Changed);
  fs::create_directories(dev_ / "serial" / "by-id");
  EXPECT_EQ(watch.Wait(nullptr, 5000), PortWatch::Wake::Changed);
  ExpectWokenBy(watch, [&] { Touch(dev_ / "serial" / "by-id" / "usb-FTDI-if00"); });
}

TEST_F(PortWatchOnFakeDirectories, AChangeBetweenTwoWaitsEndsTheNextAtOnce) {
  PortWatch watch(Watched());
  Touch(dev_ / "ttyACM0");  // before any wait
  const auto start = Clock::now();
  EXPECT_EQ(watch.Wait(nullptr, 5000), PortWatch::Wake::Changed);
  EXPECT_LT(Clock::now() - start, 100ms);
  EXPECT_EQ(watch.Wait(nullptr, 100), PortWatch::Wake::Timeout) << "a change is reported once";
  fs::remove(dev_ / "ttyACM0");  // unplugged
  EXPECT_EQ(watch.Wait(nullptr, 5000), PortWatch::Wake::Changed);
}

TEST_F(PortWatchOnFakeDirectories, NothingHappeningCostsNoProcessorTimeAndEndsAtTheTimeOut) {
  PortWatch watch(Watched());
  // Next to a missing directory: no business of the watch.
  Touch(run_ / "other");
  fs::create_directories(run_ / "quarnel-other");
  const auto cpu_before = ProcessCpuTime();
  const auto start = Clock::now();
  EXPECT_EQ(watch.Wait(nullptr, 300), PortWatch::Wake::Timeout);
  const auto took = Clock::now() - start;
  EXPECT_GE(took, 300ms);
  EXPECT_LT(took, 800ms);
  EXPECT_LT(ProcessCpuTime() - cpu_before, 20ms);
}

TEST_F(PortWatchOnFakeDirectories, TheWakeUpEventEndsTheWaitAtOnceAndWinsOverAChange) {
  PortWatch watch(Watched());
  ManualResetEvent wakeup;
  const auto start = Clock::now();
  std::thread stop = Later(50ms, [&] { wakeup.Signal(); });
  EXPECT_EQ(watch.Wait(&wakeup, kInfinite), PortWatch::Wake::WakeUp);
  stop.join();
  EXPECT_LT(Clock::now() - start, 500ms);

  Touch(dev_ / "ttyUSB0");
  EXPECT_EQ(watch.Wait(&wakeup, 5000), PortWatch::Wake::WakeUp);
  wakeup.Reset();
  EXPECT_EQ(watch.Wait(&wakeup, 5000), PortWatch::Wake::Changed) << "the change is still there";
}

// Without a descriptor to spare, inotify cannot start: a wait still ends
// (once a second) so its caller looks again, and is never stuck.
TEST_F(PortWatchOnFakeDirectories, WithoutInotifyAWaitEndsOnceASecond) {
  ManualResetEvent wakeup;
  std::optional<PortWatch> watch;
  // Made before the limit: with no descriptor to spare, the undefined-
  // behaviour sanitizer cannot read the memory map to check a member call.
  const auto watched = Watched();
  {
    const int lowest_free = ::dup(0);
    ASSERT_GE(lowest_free, 0);
    ::close(lowest_free);
    rlimit old_limit{};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &old_limit), 0);
    rlimit no_more = old_limit;
    no_more.rlim_cur = static_cast<rlim_t>(lowest_free);
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &no_more), 0);
    watch.emplace(watched);
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &old_limit), 0);
  }
  auto start = Clock::now();
  EXPECT_EQ(watch->Wait(nullptr, 5000), PortWatch::Wake::Changed);
  EXPECT_GE(Clock::now() - start, 900ms);
  EXPECT_LT(Clock::now() - start, 2000ms);
  EXPECT_EQ(watch->Wait(nullptr, 200), PortWatch::Wake::Timeout);

  start = Clock::now();
  std::thread stop = Later(50ms, [&] { wakeup.Signal(); });
  EXPECT_EQ(watch->Wait(&wakeup, 5000), PortWatch::Wake::WakeUp);
  stop.join();
  EXPECT_LT(Clock::now() - start, 500ms);
}

}  // namespace
}  // namespace platform
