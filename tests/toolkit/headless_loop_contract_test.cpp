// The headless loop against the loop contract, on the real clock and on a
// virtual one.
#include "loop_contract/loop_driver.h"
#include "toolkit/headless_event_loop.h"

namespace {

using Clock = tk::HeadlessEventLoop::Clock;

class HeadlessDriver : public loop_contract::LoopDriver {
 public:
  explicit HeadlessDriver(Clock clock) : clock_(clock) {}

  std::unique_ptr<tk::MainThreadLoop> Make() override {
    return std::make_unique<tk::HeadlessEventLoop>(clock_);
  }

  bool PumpUntil(tk::MainThreadLoop& loop, const std::function<bool()>& done,
                 int64_t real_timeout_ms) override {
    auto& headless = static_cast<tk::HeadlessEventLoop&>(loop);
    if (clock_ == Clock::Real) return headless.RunUntil(done, real_timeout_ms);
    // Virtual time moves on by a millisecond for about each millisecond of
    // real time, so the other threads of a case keep pace with its timers.
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(real_timeout_ms);
    while (!done() && std::chrono::steady_clock::now() < deadline) {
      headless.AdvanceBy(1);
      headless.RunUntil(done, 1);
    }
    return done();
  }

  // A modal wait of the command-line front end runs the loop itself.
  bool RunModal(tk::MainThreadLoop& loop, const std::function<bool()>& done,
                int64_t real_timeout_ms) override {
    return PumpUntil(loop, done, real_timeout_ms);
  }

 private:
  Clock clock_;
};

loop_contract::DriverParam Headless(Clock clock, const char* name) {
  return {name, [clock] { return std::make_unique<HeadlessDriver>(clock); }};
}

INSTANTIATE_TEST_SUITE_P(Headless, LoopContract,
                         ::testing::Values(Headless(Clock::Real, "RealClock"),
                                           Headless(Clock::Virtual, "VirtualClock")),
                         loop_contract::DriverName);

}  // namespace
