#pragma once
// The loop contract suite (loop_contract_test.cpp) runs against every driver
// of the main loop. A driver's test program says, through a LoopDriver, how
// to make its loop, how its program runs it, and what a modal box runs, and
// instantiates the suite with it:
//
//   INSTANTIATE_TEST_SUITE_P(Qt, LoopContract, ::testing::Values(QtDriverParam()),
//                            loop_contract::DriverName);
#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "toolkit/exceptions.h"
#include "toolkit/hang_guard.h"
#include "toolkit/main_thread_loop.h"

namespace loop_contract {

class LoopDriver {
 public:
  virtual ~LoopDriver() = default;
  // Makes the loop; the calling thread becomes its main thread.
  virtual std::unique_ptr<tk::MainThreadLoop> Make() = 0;
  // Runs the loop as its program does (timers, waiting calls) until done()
  // or `real_timeout_ms` have passed; returns done().
  virtual bool PumpUntil(tk::MainThreadLoop& loop, const std::function<bool()>& done,
                         int64_t real_timeout_ms) = 0;
  // Runs the nested loop of a modal box, the system's own where the driver
  // has one, until done() or `real_timeout_ms`; returns done().
  virtual bool RunModal(tk::MainThreadLoop& loop, const std::function<bool()>& done,
                        int64_t real_timeout_ms) = 0;
  // Handles, without waiting, what the driver's toolkit still has queued for
  // this thread (wake-ups posted to a loop that has gone, say).
  virtual void HandleQueued() {}
};

struct DriverParam {
  std::string name;
  std::function<std::unique_ptr<LoopDriver>()> make;
};

inline void PrintTo(const DriverParam& param, std::ostream* out) {
  *out << param.name;
}

inline std::string DriverName(const ::testing::TestParamInfo<DriverParam>& info) {
  return info.param.name;
}

// A thread of a test. A call of it that the loop never ran is released with
// an exception when the loop goes, so the thread ends either way.
class Worker {
 public:
  explicit Worker(std::function<void()> body)
      : thread_([this, body = std::move(body)] {
          try {
            body();
          } catch (const tk::Exception&) {
            released_ = true;
          }
          finished_ = true;
        }) {}
  ~Worker() { Join(); }
  Worker(const Worker&) = delete;
  Worker& operator=(const Worker&) = delete;

  bool Finished() const { return finished_.load(); }
  // Its call was refused or dropped by a loop that went.
  bool Released() const { return released_.load(); }
  void Join() {
    if (thread_.joinable()) thread_.join();
  }

 private:
  std::atomic<bool> finished_{false};
  std::atomic<bool> released_{false};
  std::thread thread_;  // last: starts once the flags are made
};

}  // namespace loop_contract

// Declared here so that each driver's program can instantiate it.
class LoopContract : public ::testing::TestWithParam<loop_contract::DriverParam> {
 protected:
  void SetUp() override;
  void TearDown() override;

  bool PumpUntil(const std::function<bool()>& done, int64_t real_timeout_ms = kGenerousMs) {
    return driver_->PumpUntil(*loop_, done, real_timeout_ms);
  }
  // Runs the loop for `ms` of real time.
  void PumpFor(int64_t ms) {
    PumpUntil([] { return false; }, ms);
  }
  // Runs the loop until `worker` has finished; should it not, destroys the
  // loop, which releases the worker's call. True when the loop is still there.
  bool Finish(loop_contract::Worker& worker);
  bool OnMainThread() const { return std::this_thread::get_id() == main_thread_; }

  // Reached only when something is broken.
  static constexpr int64_t kGenerousMs = 5000;

  // A case that hangs on a broken driver (a Quit that is lost, say) fails at once.
  std::unique_ptr<tk::test::HangGuard> guard_;
  std::unique_ptr<loop_contract::LoopDriver> driver_;
  std::unique_ptr<tk::MainThreadLoop> loop_;
  tk::EventLoop* before_ = nullptr;  // the main loop before this test's
  std::thread::id main_thread_ = std::this_thread::get_id();
  std::vector<std::string> reported_;  // messages given to the error report
};
