// Stop signals taken by the watcher: every one that asks a program to stop
// reaches its handler and none ends the program, while a signal ignored on
// purpose (nohup) stays ignored, also for the program's children.
#include "platform/stop_signal_watcher.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <vector>

#include "platform/child_process.h"
#include "platform/signal_arrivals.h"

namespace platform {
namespace {

// SIGHUP ignored, as nohup starts a program, for as long as it lives.
class HangUpIgnored {
 public:
  HangUpIgnored() {
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGHUP, &ignore, &old_);
  }
  ~HangUpIgnored() { sigaction(SIGHUP, &old_, nullptr); }

 private:
  struct sigaction old_ {};
};

// The exit status of a shell that sends itself SIGHUP.
int StatusOfAChildThatHangsUpOnItself() {
  ChildProcess child("/bin/sh", {"-c", "kill -HUP $$; exit 0"});
  return child.Wait();
}

TEST(StopSignalWatcher, EveryStopSignalReachesTheHandlerInsteadOfEndingTheProgram) {
  SignalArrivals arrivals;
  StopSignalWatcher watcher([&](int signal_number) { arrivals.Add(signal_number); });
  const std::vector<int> sent{SIGHUP, SIGQUIT, SIGINT, SIGTERM};
  for (size_t i = 0; i < sent.size(); ++i) {
    ASSERT_EQ(::kill(::getpid(), sent[i]), 0);
    ASSERT_TRUE(arrivals.WaitFor(i + 1)) << "signal " << sent[i];
  }
  EXPECT_EQ(arrivals.Signals(), (std::vector<int>{kStopSignalHangUp, kStopSignalQuit,
                                                  kStopSignalInterrupt, kStopSignalTerminate}));
}

TEST(StopSignalWatcher, AHangUpIgnoredBeforehandStaysIgnoredForTheProgramAndItsChildren) {
  HangUpIgnored nohup;
  SignalArrivals arrivals;
  {
    StopSignalWatcher watcher([&](int signal_number) { arrivals.Add(signal_number); });
    // Lower numbers are taken first: a kept SIGHUP would come before SIGTERM.
    ASSERT_EQ(::kill(::getpid(), SIGHUP), 0);
    ASSERT_EQ(::kill(::getpid(), SIGTERM), 0);
    ASSERT_TRUE(arrivals.WaitFor(1));
    EXPECT_EQ(StatusOfAChildThatHangsUpOnItself(), 0) << "a child of nohup hung up";
  }
  EXPECT_EQ(arrivals.Signals(), std::vector<int>{kStopSignalTerminate});
  struct sigaction now {};
  sigaction(SIGHUP, nullptr, &now);
  EXPECT_EQ(now.sa_handler, SIG_IGN) << "the watcher changed what nohup set";
}

TEST(StopSignalWatcher, ChildrenOfAWatchingProgramHangUpAsUsual) {
  StopSignalWatcher watcher([](int) {});
  EXPECT_EQ(StatusOfAChildThatHangsUpOnItself(), 128 + SIGHUP);
}

}  // namespace
}  // namespace platform
