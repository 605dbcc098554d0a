// The front end's own rules, without a process: the exit status and closing
// line for each way a sequence ends, the command line, and the output formats.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>

#include "app/cli/cli_options.h"
#include "app/cli/outcome_report.h"
#include "app/cli/progress_line.h"
#include "app/cli/station_text_output.h"
#include "app/cli/status_output.h"
#include "station/port_choice.h"

namespace quarnel::cli {
namespace {

using ::testing::HasSubstr;

SequenceOutcome Ended(SequenceEnding ending) {
  SequenceOutcome outcome;
  outcome.ending = ending;
  return outcome;
}

TEST(SessionResult, EachEndingHasItsExitStatus) {
  const std::pair<SequenceEnding, ExitStatus> expected[] = {
      {SequenceEnding::kProgrammed, kExitOk},
      {SequenceEnding::kAbortedByTarget, kExitAborted},
      {SequenceEnding::kNoAnswerToCapture, kExitCaptureTimeOut},
      {SequenceEnding::kNoAnswerToErase, kExitTimeOut},
      {SequenceEnding::kNoAnswerToDataRecord, kExitTimeOut},
      {SequenceEnding::kNoAnswerToReset, kExitTimeOut},
      {SequenceEnding::kImageRefused, kExitCouldNotStart},
      {SequenceEnding::kPortNotOpened, kExitCouldNotStart},
      {SequenceEnding::kPortLost, kExitPortLost},
      {SequenceEnding::kStoppedByOperator, kExitFailed},
      {SequenceEnding::kResetBeforeProgramming, kExitFailed},
      {SequenceEnding::kStalled, kExitFailed},
      {SequenceEnding::kFailed, kExitFailed},
  };
  for (const auto& [ending, status] : expected) {
    EXPECT_EQ(ResultOf(Ended(ending), 0).status, status) << static_cast<int>(ending);
  }
  EXPECT_EQ(ResultOf(std::nullopt, 0).status, kExitFailed);
}

TEST(SessionResult, AStopBySignalExitsWithTheSignalOnlyIfItEndedTheSequence) {
  EXPECT_EQ(ResultOf(Ended(SequenceEnding::kStoppedByOperator), SIGINT).status, 130);
  EXPECT_EQ(ResultOf(Ended(SequenceEnding::kStoppedByOperator), SIGTERM).status, 143);
  EXPECT_THAT(ResultOf(Ended(SequenceEnding::kStoppedByOperator), SIGINT).reason,
              HasSubstr("interrupted"));
  // The sequence had ended before the signal came: its own ending counts.
  EXPECT_EQ(ResultOf(Ended(SequenceEnding::kProgrammed), SIGINT).status, kExitOk);
}

TEST(SessionResult, ReasonsCarryTheOutcomesDetails) {
  SequenceOutcome aborted = Ended(SequenceEnding::kAbortedByTarget);
  aborted.status = 0x4850;
  aborted.reset_answered = true;
  EXPECT_THAT(ResultOf(aborted, 0).reason, HasSubstr("4850"));
  EXPECT_THAT(ResultOf(aborted, 0).reason, HasSubstr("it was reset"));
  aborted.reset_answered = false;
  EXPECT_THAT(ResultOf(aborted, 0).reason, HasSubstr("did not answer the reset"));

  SequenceOutcome record = Ended(SequenceEnding::kNoAnswerToDataRecord);
  record.blocks_sent = 20;
  record.blocks_total = 500;
  EXPECT_THAT(ResultOf(record, 0).reason, HasSubstr("data record 20 of 500"));

  SequenceOutcome refused = Ended(SequenceEnding::kImageRefused);
  refused.image_path = "/images/unit.cry";
  refused.message = "is empty";
  EXPECT_THAT(ResultOf(refused, 0).reason, HasSubstr("image /images/unit.cry is empty"));

  SequenceOutcome programmed = Ended(SequenceEnding::kProgrammed);
  programmed.image_size = 4000;
  programmed.image_sha256 = std::string(64, 'a');
  EXPECT_EQ(ResultOf(programmed, 0).reason,
            "programming complete, the target was reset (4000 bytes, SHA-256 " +
                programmed.image_sha256 + ")");

  SequenceOutcome lost = Ended(SequenceEnding::kPortLost);
  lost.port = "/dev/ttyUSB0";
  EXPECT_THAT(ResultOf(lost, 0).reason, HasSubstr("the port /dev/ttyUSB0 went away"));

  SequenceOutcome not_opened = Ended(SequenceEnding::kPortNotOpened);
  not_opened.message = "Can't open specified device /dev/x (Error 16, Device or resource busy)";
  EXPECT_EQ(ResultOf(not_opened, 0).reason, "could not start: " + not_opened.message);

  SequenceOutcome stalled = Ended(SequenceEnding::kStalled);
  stalled.last_response_code = 1;
  EXPECT_THAT(ResultOf(stalled, 0).reason, HasSubstr("(code 1) starts no further step"));
  // A damaged answer to the reset: sent again, the reset finds the target
  // already out of its loader, and its answer (code 0) starts nothing.
  stalled.image_sent = true;
  stalled.last_response_code = 0;
  EXPECT_THAT(ResultOf(stalled, 0).reason,
              HasSubstr("stopped after the image was sent: the target's last answer (code 0)"));
}

// The start message names the image by its SHA-256; should the window have
// read another one (the file replaced during the capture wait), the end says
// which one the unit got.
TEST(SessionResult, AnImageOtherThanTheAnnouncedOneIsPointedOut) {
  SequenceOutcome outcome = Ended(SequenceEnding::kProgrammed);
  const std::string announced(64, 'a');
  EXPECT_EQ(ImageChangeNote(outcome, announced), "") << "no image read";
  outcome.image_size = 48;
  outcome.image_sha256 = announced;
  EXPECT_EQ(ImageChangeNote(outcome, announced), "");
  outcome.image_sha256 = std::string(64, 'b');
  EXPECT_EQ(
      ImageChangeNote(outcome, announced),
      "the image changed after the start: the unit got 48 bytes, SHA-256 " + outcome.image_sha256);
}

TEST(SessionResult, ACaptureTimeOutAfterLinesThatWereNoAnswersBlamesTheLine) {
  SequenceOutcome silent = Ended(SequenceEnding::kNoAnswerToCapture);
  EXPECT_THAT(ResultOf(silent, 0).reason, HasSubstr("is it powered on"));

  SequenceOutcome noisy = silent;
  noisy.lines_received = 7;
  EXPECT_EQ(ResultOf(noisy, 0).reason,
            "7 lines arrived but none was a valid answer: check the line speed and wiring");
  noisy.lines_received = 1;
  EXPECT_EQ(ResultOf(noisy, 0).reason,
            "1 line arrived but none was a valid answer: check the line speed and wiring");
  // Lines that were answers: the line is fine.
  noisy.answers_accepted = 1;
  EXPECT_THAT(ResultOf(noisy, 0).reason, HasSubstr("is it powered on"));
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

TEST(CommandLine, PinsAllowListAndWhoTheUnitIs) {
  const auto parsed = ParseCommandLine(
      {"--port", "sim0", "--image-sha256", std::string(64, 'A'), "--target-id", "1a2b,00C7",
       "--target-id", "0001", "--unit-id", "SN 42", "--operator", "ana", "--wait-port", "a.cry"});
  const auto* request = std::get_if<ProgramRequest>(&parsed);
  ASSERT_TRUE(request) << std::get<UsageError>(parsed).message;
  EXPECT_EQ(request->image_sha256, std::string(64, 'a'));
  EXPECT_EQ(request->target_ids, (std::vector<std::string>{"1A2B", "00C7", "0001"}));
  EXPECT_EQ(request->unit_id, "SN 42");
  EXPECT_EQ(request->operator_name, "ana");
  EXPECT_TRUE(request->wait_port);
  EXPECT_FALSE(request->Supervised());
}

TEST(CommandLine, ARecipeNamesImageSlotsAndPinsWhichOptionsCannotChange) {
  const auto parsed = ParseCommandLine(
      {"--recipe", "bench.toml", "--station", "--json", "--log", "x.log", "--units", "5"});
  const auto* request = std::get_if<ProgramRequest>(&parsed);
  ASSERT_TRUE(request) << std::get<UsageError>(parsed).message;
  EXPECT_EQ(request->recipe, "bench.toml");
  EXPECT_TRUE(request->Supervised());
  EXPECT_EQ(request->units, 5);
  for (const auto& args : std::vector<std::vector<std::string>>{
           {"--recipe", "b.toml", "a.cry"},
           {"--recipe", "b.toml", "--port", "sim0"},
           {"--recipe", "b.toml", "--ports-from", "p.txt"},
           {"--recipe", "b.toml", "--image-sha256", std::string(64, 'a')},
           {"--recipe", "b.toml", "--target-id", "1A2B"},
           {"--recipe", "b.toml", "--unit-id", "7"},
       }) {
    EXPECT_TRUE(std::holds_alternative<UsageError>(ParseCommandLine(args)))
        << ::testing::PrintToString(args);
  }
}

TEST(CommandLine, NewOptionsRefuseWhatTheyCannotMean) {
  for (const auto& args : std::vector<std::vector<std::string>>{
           {"--port", "s", "--image-sha256", "9f86d0", "a.cry"},
           {"--port", "s", "--target-id", "12345", "a.cry"},
           {"--port", "s", "--target-id", "1A2B,", "a.cry"},
           {"--port", "s", "--unit-id", "", "a.cry"},
           {"--port", "s", "--unit-id", "bad\tid", "a.cry"},
           {"--port", "a", "--port", "b", "--unit-id", "1", "a.cry"},
           {"--port", "s", "--units", "2", "a.cry"},
           {"--port", "s", "--station", "--units", "0", "a.cry"},
           {"--port", "s", "--csv", "a.cry"},
           {"--summarize", ""},
       }) {
    EXPECT_TRUE(std::holds_alternative<UsageError>(ParseCommandLine(args)))
        << ::testing::PrintToString(args);
  }
  const auto summarize = ParseCommandLine({"--summarize", "units.log", "--csv"});
  ASSERT_TRUE(std::holds_alternative<SummarizeRequest>(summarize));
  EXPECT_TRUE(std::get<SummarizeRequest>(summarize).csv);
}

TEST(CommandLine, CaptureTimeOutIsAPlainNumberOfSecondsFromATenthToAWeek) {
  const auto seconds = [](const std::string& text) -> std::optional<double> {
    const auto parsed = ParseCommandLine({"--port", "sim0", "--capture-timeout", text, "a.cry"});
    if (const auto* request = std::get_if<ProgramRequest>(&parsed))
      return request->capture_timeout_s;
    EXPECT_THAT(std::get<UsageError>(parsed).message, HasSubstr("0.1 to 604800 (one week)"))
        << text;
    return std::nullopt;
  };
  EXPECT_EQ(seconds("0.1"), 0.1);
  EXPECT_EQ(seconds("30"), 30.0);
  EXPECT_EQ(seconds(".5"), 0.5);
  EXPECT_EQ(seconds("604800"), 604800.0);
  // Once read as overflowing into an immediate time-out, or as 0 ms.
  for (const char* refused : {"1e99", "1e-9", "0.09", "604800.5", "inf", "0x10", "+5", "5 ", ""}) {
    EXPECT_FALSE(seconds(refused)) << refused;
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

TEST(StationLiveLine, SaysWhatEachSlotDoesInWords) {
  station::SlotState state;
  EXPECT_EQ(StationTextOutput::Activity(state), "starting");
  state.activity = station::SlotActivity::kRunning;
  state.phase = SequencePhase::kWaitingForAdapter;
  EXPECT_EQ(StationTextOutput::Activity(state), "waiting for the adapter");
  state.phase = SequencePhase::kCapture;
  EXPECT_EQ(StationTextOutput::Activity(state), "capture");
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
  EXPECT_EQ(station::FindPortEntry(entries, "/dev/ttyS0"), 0);
  EXPECT_EQ(station::FindPortEntry(entries, "sim0"), 1);
  EXPECT_EQ(station::FindPortEntry(entries, "sim1"), -1)
      << "two entries of that name: none is guessed";
  EXPECT_EQ(station::FindPortEntry(entries, "ports/sim0"), -1);
  EXPECT_EQ(station::FindPortEntry(entries, "ttyUSB0"), -1);
  EXPECT_EQ(station::FindPortEntry(entries, ""), -1);
}

}  // namespace
}  // namespace quarnel::cli
