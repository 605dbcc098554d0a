// Child processes for the supervisor: output through pipes, exit statuses,
// and stop requests that reach a child although the parent keeps its stop
// signals for a watcher thread.
#include "platform/child_process.h"

#include <gtest/gtest.h>
#include <pthread.h>
#include <signal.h>

#include <chrono>
#include <filesystem>
#include <string>

#include "platform/stop_signal_watcher.h"

namespace platform {
namespace {

std::string ReadAll(ChildProcess& child, ChildProcess::Stream stream) {
  std::string text;
  char buffer[64];
  while (const size_t got = child.Read(stream, buffer, sizeof buffer)) text.append(buffer, got);
  return text;
}

TEST(ChildProcess, OutputAndErrorComeBackSeparatelyWithTheExitStatus) {
  ChildProcess child("/bin/sh", {"-c", "echo out; echo err >&2; exit 3"});
  EXPECT_EQ(ReadAll(child, ChildProcess::Stream::kOutput), "out\n");
  EXPECT_EQ(ReadAll(child, ChildProcess::Stream::kError), "err\n");
  EXPECT_EQ(child.Wait(), 3);
  EXPECT_EQ(child.Wait(), 3) << "asked again";
}

TEST(ChildProcess, AStopRequestReachesAChildOfAParentThatKeepsItsSignals) {
  // As quarnel-cli's supervisor does: the stop signals are blocked in every
  // thread but the watcher's. A child that kept that mask would never end.
  StopSignalWatcher watcher([](int) {});
  ChildProcess child("/bin/sleep", {"30"});
  const auto start = std::chrono::steady_clock::now();
  child.RequestStop(kStopSignalInterrupt);
  EXPECT_EQ(child.Wait(), 128 + SIGINT);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

TEST(ChildProcess, OneStillRunningIsEndedAndReapedWithItsObject) {
  long id = 0;
  {
    ChildProcess child("/bin/sleep", {"30"});
    id = child.Id();
  }
  // Reaped: no process of that number is left, not even a zombie.
  EXPECT_FALSE(std::filesystem::exists("/proc/" + std::to_string(id) + "/stat"));
}

TEST(ChildProcess, AProgramThatCannotBeStartedIsAnError) {
  EXPECT_THROW(ChildProcess("/nonexistent/program", {}), std::system_error);
}

TEST(ChildProcess, OwnProgramPathIsThisTestProgram) {
  EXPECT_EQ(std::filesystem::path(OwnProgramPath()).filename(), "test_platform");
}

}  // namespace
}  // namespace platform
