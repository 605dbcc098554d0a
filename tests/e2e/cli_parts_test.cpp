// The front end's own rules, without a process: when the guided chain has
// ended and with which status, the command line, and the output formats.
#include <gtest/gtest.h>

#include "app/cli/chain_watcher.h"
#include "app/cli/cli_options.h"
#include "app/cli/port_choice.h"
#include "app/cli/progress_line.h"
#include "app/cli/status_output.h"

namespace quarnel::cli {
namespace {

constexpr ChainSample kWaiting{0, true, true};  // an operation waits for its answer

void Lines(ChainWatcher& watcher, std::initializer_list<const char*> lines, int64_t now = 0) {
  for (const char* line : lines) watcher.LineAdded(line, now);
}

ExitStatus StatusOf(const ChainWatcher& watcher) {
  return watcher.verdict() ? watcher.verdict()->status : static_cast<ExitStatus>(-1);
}

class ChainWatcherTest : public ::testing::Test {
 protected:
  // Connected, captured, erased, and the run started.
  void ThroughProgramStart() {
    watcher_.Started(0);
    Lines(watcher_, {"Start Capture", "Device in Loader Mode", "Erase Target", "Device Erased",
                     "Program PIC", "Programming from /x.cry"});
  }
  // The guided timer's disconnect, seen after the code it acted on.
  void DisconnectAfterCode(int32_t code, int64_t now = 9000) {
    watcher_.Sample({code, false, true}, now);
    watcher_.LineAdded("Comm Port Closed", now);
  }
  ChainWatcher watcher_{ChainLimits{}};
};

TEST_F(ChainWatcherTest, SuccessNeedsTheResetAnswerAfterProgrammingComplete) {
  ThroughProgramStart();
  Lines(watcher_, {"Programming Complete", "Reset Target"});
  watcher_.Sample({99, false, true}, 8000);
  EXPECT_FALSE(watcher_.verdict()) << "the reset is still unanswered";
  Lines(watcher_, {"Device Reset"});
  DisconnectAfterCode(9);
  EXPECT_EQ(StatusOf(watcher_), kExitOk);
}

TEST_F(ChainWatcherTest, AResetAnswerBeforeTheImageWasSentIsNoSuccess) {
  watcher_.Started(0);
  Lines(watcher_, {"Start Capture", "Device Reset"});
  DisconnectAfterCode(9);
  EXPECT_EQ(StatusOf(watcher_), kExitFailed);
}

TEST_F(ChainWatcherTest, DisconnectOnTheNoAnswerMarkerIsATimeOut) {
  ThroughProgramStart();
  DisconnectAfterCode(98);
  EXPECT_EQ(StatusOf(watcher_), kExitTimeOut);
}

TEST_F(ChainWatcherTest, AbortedRunStaysAbortedThroughResetAndDisconnect) {
  ThroughProgramStart();
  Lines(watcher_, {"ERROR - Error during Programming", "  Programming Aborted", "Reset Target",
                   "Device Reset"});
  DisconnectAfterCode(9);
  EXPECT_EQ(StatusOf(watcher_), kExitAborted);
}

TEST_F(ChainWatcherTest, FirstDecisiveEventWins) {
  watcher_.Started(0);
  Lines(watcher_,
        {"Device in Loader Mode", "Erase Target", "ERROR - No response to ERASE command"});
  EXPECT_EQ(StatusOf(watcher_), kExitTimeOut);
  const std::string reason = watcher_.verdict()->reason;
  DisconnectAfterCode(9);
  EXPECT_EQ(watcher_.verdict()->reason, reason);
  watcher_.Decide(kExitFailed, "later");
  EXPECT_EQ(StatusOf(watcher_), kExitTimeOut);
}

TEST_F(ChainWatcherTest, ImageTroubleAtProgramStartMeansCouldNotStart) {
  ThroughProgramStart();
  Lines(watcher_, {"File /x.cry not found"});
  EXPECT_EQ(StatusOf(watcher_), kExitCouldNotStart);

  ChainWatcher empty{ChainLimits{}};
  empty.Started(0);
  Lines(empty, {"Program PIC", "Error accessing file /x.cry"});
  EXPECT_EQ(StatusOf(empty), kExitCouldNotStart);
}

TEST_F(ChainWatcherTest, UnansweredResetEndsAfterItsLimit) {
  ThroughProgramStart();
  Lines(watcher_, {"Programming Complete"});
  watcher_.LineAdded("Reset Target", 1000);
  watcher_.LineAdded("Reset Target", 2500);  // repeated every tick; the first one counts
  watcher_.Sample({99, false, true}, 10999);
  EXPECT_FALSE(watcher_.verdict());
  watcher_.Sample({99, false, true}, 11000);
  EXPECT_EQ(StatusOf(watcher_), kExitTimeOut);
}

TEST_F(ChainWatcherTest, AnswerThatStartsNoFurtherStepEndsTheChainAfterTheStallLimit) {
  watcher_.Started(0);
  Lines(watcher_, {"Device in Transparent Mode"});  // code 1 ended the capture loop
  watcher_.Sample({1, false, true}, 1000);
  watcher_.Sample({1, false, true}, 4999);
  EXPECT_FALSE(watcher_.verdict());
  watcher_.Sample(kWaiting, 5000);  // something waits again: the stall clock starts over
  watcher_.Sample({1, false, true}, 6000);
  watcher_.Sample({1, false, true}, 9999);
  EXPECT_FALSE(watcher_.verdict());
  watcher_.Sample({1, false, true}, 10000);
  EXPECT_EQ(StatusOf(watcher_), kExitFailed);
}

TEST_F(ChainWatcherTest, CodesTheGuidedTimerActsOnAreNoStall) {
  watcher_.Started(0);
  for (int32_t code : {3, 6, 7, 8, 9, 98, 99}) {
    watcher_.Sample({code, false, true}, 100000);
    watcher_.Sample({code, false, true}, 200000);
    EXPECT_FALSE(watcher_.verdict()) << code;
  }
}

TEST(ChainWatcherCaptureLimit, AppliesOnlyUntilTheTargetAnswers) {
  ChainWatcher watcher{ChainLimits{.capture_ms = 1500}};
  watcher.Sample(kWaiting, 99999);
  EXPECT_FALSE(watcher.verdict()) << "not started: no limit runs";
  watcher.Started(1000);
  watcher.Sample(kWaiting, 2499);
  EXPECT_FALSE(watcher.verdict());
  watcher.Sample(kWaiting, 2500);
  EXPECT_EQ(StatusOf(watcher), kExitCaptureTimeOut);

  ChainWatcher answered{ChainLimits{.capture_ms = 1500}};
  answered.Started(0);
  answered.LineAdded("Device in Loader Mode", 100);
  answered.Sample(kWaiting, 60000);
  EXPECT_FALSE(answered.verdict());
}

TEST(CommandLine, ProgramRequestInItsSpellings) {
  const auto parsed =
      ParseCommandLine({"--port=/dev/ttyUSB0", "--capture-timeout", "2.5", "a.cry"});
  const auto* request = std::get_if<ProgramRequest>(&parsed);
  ASSERT_TRUE(request);
  EXPECT_EQ(request->port, "/dev/ttyUSB0");
  EXPECT_EQ(request->image, "a.cry");
  EXPECT_EQ(request->capture_timeout_s, 2.5);

  const auto dashed = ParseCommandLine({"-p", "sim0", "--", "-odd name.cry"});
  ASSERT_TRUE(std::holds_alternative<ProgramRequest>(dashed));
  EXPECT_EQ(std::get<ProgramRequest>(dashed).image, "-odd name.cry");
  EXPECT_FALSE(std::get<ProgramRequest>(dashed).capture_timeout_s);
}

TEST(CommandLine, HelpAndListPortsWinOverEverythingElse) {
  EXPECT_TRUE(std::holds_alternative<HelpRequest>(ParseCommandLine({"--bogus", "--help"})));
  EXPECT_TRUE(std::holds_alternative<ListPortsRequest>(ParseCommandLine({"--list-ports"})));
}

TEST(CommandLine, MistakesAreUsageErrors) {
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {},
           {"a.cry"},
           {"--port", "sim0"},
           {"--port"},
           {"--port", "", "a.cry"},
           {"--port", "sim0", "a.cry", "b.cry"},
           {"--port", "sim0", "--capture-timeout", "0", "a.cry"},
           {"--port", "sim0", "--capture-timeout", "-3", "a.cry"},
           {"--port", "sim0", "--capture-timeout", "5s", "a.cry"},
           {"--port", "sim0", "--capture-timeout", "nan", "a.cry"},
           {"--port", "sim0", "-x", "a.cry"},
       }) {
    EXPECT_TRUE(std::holds_alternative<UsageError>(ParseCommandLine(args)))
        << ::testing::PrintToString(args);
  }
}

TEST(ProgressText, ShowsBlocksPercentRateAndTimeLeft) {
  EXPECT_EQ(FormatProgress({1, 10, 24, 240, 0.1}), "block 1 of 10, 10%, -- B/s, --:-- left");
  EXPECT_EQ(FormatProgress({20, 100, 480, 2400, 2.0}), "block 20 of 100, 20%, 240 B/s, 0:08 left");
  EXPECT_EQ(FormatProgress({1, 1000000, 24, 24000000, 1.0}),
            "block 1 of 1000000, 0%, 24 B/s, 277:46:39 left");
  EXPECT_EQ(FormatProgress({12, 10, 240, 240, 1.0}), "block 10 of 10, 100%, 240 B/s, 0:00 left");
}

TEST(ProgressText, LineIsDrawnInPlaceOnlyWhenEnabled) {
  std::ostringstream terminal, file;
  ProgressLine shown(terminal, true), hidden(file, false);
  for (ProgressLine* line : {&shown, &hidden}) {
    line->Update({1, 2, 24, 48, 0}, 0);
    line->Update({2, 2, 48, 48, 0}, 10);  // within the redraw interval: skipped
    line->Clear();
  }
  EXPECT_EQ(terminal.str(), "\rProgramming: block 1 of 2, 50%, -- B/s, --:-- left\x1b[K\r\x1b[K");
  EXPECT_EQ(file.str(), "");
}

TEST(StatusLines, TargetLineEndsGoAndControlCharactersAreShown) {
  EXPECT_EQ(PrintableLine("Invalid Record Received ->garbage\r\n"),
            "Invalid Record Received ->garbage");
  EXPECT_EQ(PrintableLine("a\x1b[2Jb\rc\x7f"), "a\\x1B[2Jb\\x0Dc\\x7F");
  EXPECT_EQ(PrintableLine("Erase Data "), "Erase Data ");
}

TEST(PortChoice, FindsTheEntryByItselfOrByTheVirtualPortsName) {
  const std::vector<std::string> entries{"/dev/ttyS0", "/run/user/1/quarnel/ports/sim0",
                                         "/run/user/1/quarnel/ports/sim1",
                                         "/tmp/quarnel-1/ports/sim1"};
  EXPECT_EQ(FindPortEntry(entries, "/dev/ttyS0"), 0);
  EXPECT_EQ(FindPortEntry(entries, "sim0"), 1);
  EXPECT_EQ(FindPortEntry(entries, "sim1"), -1) << "two entries of that name: none is guessed";
  EXPECT_EQ(FindPortEntry(entries, "ports/sim0"), -1);
  EXPECT_EQ(FindPortEntry(entries, "ttyUSB0"), -1);
  EXPECT_EQ(FindPortEntry(entries, ""), -1);
}

}  // namespace
}  // namespace quarnel::cli
