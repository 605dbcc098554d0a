// Children of a supervisor end when it does, however it ends: killed
// outright while they wait, or gone before they began to watch. Each child
// stops as a request to terminate asks (its own stop, its own exit status),
// not by being killed.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "platform/child_process.h"
#include "platform/process_watch.h"
#include "platform/stop_signal_watcher.h"
#include "support/files.h"
#include "support/temp_dir.h"

namespace platform {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// Built beside this program (parent_end_probe.cpp).
std::string ProbePath() {
  const fs::path self(OwnProgramPath());
  return (self.parent_path() / ("parent_end_probe" + self.extension().string())).string();
}

class ParentEndTest : public ::testing::Test {
 protected:
  ParentEndTest() { ProcessWatch::AdoptOrphans(); }

  // The process ID that the parent prints first.
  long ChildId(ChildProcess& parent) {
    std::string text;
    char c = 0;
    while (parent.Read(ChildProcess::Stream::kOutput, &c, 1) == 1 && c != '\n') text += c;
    return text.empty() ? 0 : std::stol(text);
  }
  void Go() { std::ofstream(dir_.path() / "go") << "go\n"; }
  bool Appears(const std::string& name) {
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (!fs::exists(dir_.path() / name)) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      std::this_thread::sleep_for(10ms);
    }
    return true;
  }
  std::string Stopped() { return testsupport::ReadText(dir_.path() / "stopped"); }

  testsupport::TempDir dir_;
};

TEST_F(ParentEndTest, AChildStopsWhenItsParentIsKilledOutright) {
  ChildProcess parent(ProbePath(), {"parent", dir_.path().string()});
  const long id = ChildId(parent);
  ASSERT_GT(id, 0);
  ProcessWatch child(id);
  Go();
  ASSERT_TRUE(Appears("watching"));
  parent.Kill();  // SIGKILL; Windows: TerminateProcess
  parent.Wait();
  EXPECT_EQ(child.WaitForEnd(5s), 128 + kStopSignalTerminate) << "not stopped in time";
  EXPECT_EQ(Stopped(), std::to_string(kStopSignalTerminate) + "\n");
}

TEST_F(ParentEndTest, AChildWhoseParentEndedBeforeItWatchedStopsAllTheSame) {
  ChildProcess parent(ProbePath(), {"parent", dir_.path().string(), "exit"});
  const long id = ChildId(parent);
  ASSERT_GT(id, 0);
  ProcessWatch child(id);
  ASSERT_EQ(parent.Wait(), 0);
  Go();  // only now does the child call StopWhenParentEnds
  EXPECT_EQ(child.WaitForEnd(5s), 128 + kStopSignalTerminate) << "not stopped in time";
  EXPECT_EQ(Stopped(), std::to_string(kStopSignalTerminate) + "\n");
}

}  // namespace
}  // namespace platform
