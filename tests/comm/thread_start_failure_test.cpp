// A port whose threads the system refuses (a process limit, a cgroup's pids
// limit): the open fails with the system's reason, nothing waits for a
// thread that never ran, and the port stays closed and ready for the next
// open.
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <string>
#include <vector>

#include "comm/VaComm.h"
#include "thread_test_support.h"
#include "toolkit/hang_guard.h"
#include "toolkit/refused_threads.h"

namespace comm::test {
namespace {

using namespace std::chrono_literals;

class ThreadStartFailureTest : public PortOnPty {
 protected:
  void SetUp() override {
    PortOnPty::SetUp();
    port_.OnOpen = [this](tk::TObject*) { ++opened_; };
    port_.OnRxFlag = [this](tk::TObject*) { lines_.push_back(port_.ReadText()); };
  }

  // Opens with the first `allowed` threads made and the others refused;
  // returns the message of the EVaCommError raised.
  std::string OpenWithThreadsRefusedAfter(int allowed) {
    tk::test::RefusedThreads refused(allowed);
    // Waiting for a thread that never started would hang here.
    tk::test::HangGuard guard("opening a port whose threads are refused", 10s);
    try {
      port_.Open();
    } catch (const EVaCommError& e) {
      error_code_ = e.ErrorCode();
      return e.what();
    }
    return "(no EVaCommError)";
  }

  // The port opens again, and both of its threads do their work.
  void ExpectAWorkingOpen() {
    ASSERT_NO_THROW(port_.Open());
    EXPECT_EQ(opened_, 1);
    ASSERT_TRUE(port_.WriteText("ping\n"));
    EXPECT_EQ(ReadMaster(5), "ping\n");
    WriteAll(Master(), "pong\n");
    ASSERT_TRUE(PumpUntil([&] { return !lines_.empty(); }));
    EXPECT_EQ(lines_, std::vector<std::string>{"pong\n"});
  }

  static constexpr const char* kRefused =
      "could not start the port's threads: Resource temporarily unavailable";
  int opened_ = 0;
  int error_code_ = 0;
  std::vector<std::string> lines_;
};

TEST_F(ThreadStartFailureTest, NoThreadAtAllFailsTheOpenWithTheSystemsReason) {
  EXPECT_EQ(OpenWithThreadsRefusedAfter(0), kRefused);
  EXPECT_EQ(error_code_, EAGAIN);
  EXPECT_FALSE(port_.Active());
  EXPECT_EQ(opened_, 0);
  EXPECT_EQ(ThreadCount(), baseline_threads_);
  ExpectAWorkingOpen();
}

TEST_F(ThreadStartFailureTest, ARefusedWriterStopsTheEventThreadThatDidStart) {
  EXPECT_EQ(OpenWithThreadsRefusedAfter(1), kRefused);
  EXPECT_FALSE(port_.Active());
  EXPECT_EQ(opened_, 0);
  EXPECT_TRUE(WaitForThreads(baseline_threads_)) << "the event thread is left running";
  ExpectAWorkingOpen();
}

}  // namespace
}  // namespace comm::test
