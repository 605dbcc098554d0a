// A station waiting for a fixture whose port is not there yet: the simulated
// target's virtual port comes, goes and comes back under the same name.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <iostream>
#include <optional>
#include <thread>

#include "platform/port_location.h"
#include "platform/port_watch.h"
#include "support/simulator.h"
#include "support/temp_dir.h"

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace platform {
namespace {

class PortWatchWithSimulator : public ::testing::Test {
 protected:
  void SetUp() override {
    if (const char* old = getenv("XDG_RUNTIME_DIR")) old_runtime_dir_ = old;
    // The simulator publishes under the test's own directory, as this
    // process looks for it.
    setenv("XDG_RUNTIME_DIR", dir_.path().c_str(), 1);
  }
  void TearDown() override {
    if (old_runtime_dir_) {
      setenv("XDG_RUNTIME_DIR", old_runtime_dir_->c_str(), 1);
    } else {
      unsetenv("XDG_RUNTIME_DIR");
    }
  }

  // Starts the simulator on another thread while this one waits, as a
  // station waits, until "sim0" resolves; the time from the simulator's start
  // until then.
  std::chrono::microseconds StartWhileWaiting(PortWatch& watch) {
    Clock::time_point started;
    std::thread starter([&] {
      std::this_thread::sleep_for(100ms);
      started = Clock::now();
      simulator_.emplace(dir_.path(), std::vector<std::string>{});
    });
    const auto give_up = Clock::now() + 10s;
    while (!ResolvePort("sim0") && Clock::now() < give_up) {
      watch.Wait(nullptr, 10000);
    }
    const auto found = Clock::now();
    starter.join();
    EXPECT_TRUE(ResolvePort("sim0").has_value()) << "the simulator's port was not seen";
    return std::chrono::duration_cast<std::chrono::microseconds>(found - started);
  }

  testsupport::TempDir dir_{"quarnel-port-watch-sim"};
  std::optional<std::string> old_runtime_dir_;
  std::optional<testsupport::Simulator> simulator_;
};

TEST_F(PortWatchWithSimulator, APortThatComesGoesAndComesBackIsSeenEachTime) {
  PortWatch watch;
  EXPECT_EQ(ResolvePort("sim0"), std::nullopt);

  const auto first = StartWhileWaiting(watch);
  EXPECT_LT(first, 1s);
  EXPECT_EQ(ResolvePort("sim0"), simulator_->port());

  // It goes: the waiter sees it go.
  simulator_->Stop();
  const auto give_up = Clock::now() + 10s;
  while (ResolvePort("sim0") && Clock::now() < give_up) watch.Wait(nullptr, 10000);
  EXPECT_EQ(ResolvePort("sim0"), std::nullopt);
  simulator_.reset();

  // It comes back under the same name, onto another pseudo-terminal.
  const auto again = StartWhileWaiting(watch);
  EXPECT_LT(again, 1s);
  std::cout << "[          ] the port was seen " << first.count() << " us and " << again.count()
            << " us after the simulator was started\n";
}

}  // namespace
}  // namespace platform
