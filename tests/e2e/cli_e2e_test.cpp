// quarnel-cli against quarnel-target-sim: the whole guided sequence and each
// way it can end, seen as a calling script sees it (exit status, stdout) and
// as the target sees it (the records and the image it received).
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <thread>

#include "e2e/e2e_support.h"
#include "platform/pseudo_terminal.h"

namespace e2e {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;

using Clock = std::chrono::steady_clock;

// True when `expected` appear in `lines` in this order (others may lie between).
bool InOrder(const std::vector<std::string>& lines, const std::vector<std::string>& expected) {
  auto at = lines.begin();
  for (const auto& want : expected) {
    at = std::find(at, lines.end(), want);
    if (at == lines.end()) return false;
    ++at;
  }
  return true;
}

std::string Joined(const std::vector<std::string>& lines) {
  std::string text;
  for (const auto& l : lines) text += l + "\n";
  return text;
}

class CliTest : public ::testing::Test {
 protected:
  // The file's SHA-256 as coreutils computes it.
  std::string Sha256Of(const std::filesystem::path& path) {
    ChildProcess sum("/usr/bin/sha256sum", {path.string()}, dir_.path(), dir_.path(), "sha256");
    EXPECT_EQ(sum.WaitForExit(std::chrono::seconds(10)), 0);
    return sum.Stdout().substr(0, 64);
  }

  std::filesystem::path Image(size_t size, uint32_t seed = 7) {
    image_ = MakeImage(size, seed);
    const auto path = dir_.path() / "firmware.cry";
    WriteBytes(path, image_);
    return path;
  }

  TempDir dir_;
  std::vector<uint8_t> image_;
};

TEST_F(CliTest, GuidedSequenceProgramsTheImageAndEndsWithTheResetAnswer) {
  // The unit comes on a little after the first capture command, as when the
  // operator switches it on; the last block is 16 bytes of image and 8 of filler.
  Simulator sim(dir_.path(), {"--erase-ms", "20", "--power-on-after", "700"});
  const auto image = Image(1000);
  const CliResult cli = RunCli({"--port", "sim0", image.string()}, dir_.path());
  ASSERT_EQ(sim.Stop(), 0);

  EXPECT_EQ(cli.exit_status, 0) << cli.stderr_text;
  // Which image, before anything happens, and again at the end.
  const std::string sha256 = Sha256Of(image);
  EXPECT_EQ(cli.stderr_text.find("quarnel-cli: image " + image.string() + ": 1000 bytes, SHA-256 " +
                                 sha256 + "\n"),
            0u)
      << cli.stderr_text;
  EXPECT_THAT(
      cli.stderr_text,
      HasSubstr("programming complete, the target was reset (1000 bytes, SHA-256 " + sha256 + ")"));
  const auto& out = cli.stdout_lines;
  ASSERT_FALSE(out.empty());
  EXPECT_EQ(out.front(), "Program Ready");
  // The virtual port is named as the port list shows it.
  EXPECT_TRUE(InOrder(
      out, {"Port sim0 open", image.string(), "Start Capture", "Device in Loader Mode",
            "Erase Target", "Device Erased", "Erase Data ", "EEPROM Erased", "Erase Program",
            "PGM Memory Only Erased", "Program PIC", "Programming from " + image.string(),
            "Programming Complete", "Reset Target", "Device Reset"}))
      << Joined(out);
  EXPECT_EQ(out.back(), "Comm Port Closed");
  // stdout carries the status display only; the request to power on is on stderr, once.
  EXPECT_THAT(Joined(out), Not(HasSubstr("power")));
  const std::string prompt = "Turn on the power to the unit";
  const size_t first = cli.stderr_text.find(prompt);
  ASSERT_NE(first, std::string::npos) << cli.stderr_text;
  EXPECT_EQ(cli.stderr_text.find(prompt, first + 1), std::string::npos);

  const auto records = sim.ReceivedRecords();
  std::vector<int> commands;
  for (const auto& r : records) {
    if (CommandCode(r) >= 0 && CommandCode(r) != 3) commands.push_back(CommandCode(r));
  }
  EXPECT_THAT(commands, ElementsAre(6, 8, 7, 9));
  EXPECT_GE(CountIf(records, [](const std::string& r) { return CommandCode(r) == 3; }), 2)
      << "the capture repeats until the unit is on";
  EXPECT_EQ(CountIf(records, IsDataRecord), 42);
  EXPECT_EQ(sim.ReceivedImage(), PaddedToBlocks(image_));
}

// The case of one status line changed in a copy of the window model: the
// status display shows the new text, and the exit status is still that of a
// programmed unit, since the front end reads the window's outcome, not its
// lines.
TEST_F(CliTest, AStatusLineWordedDifferentlyKeepsTheExitStatus) {
  Simulator sim(dir_.path(), {"--erase-ms", "5"});
  const auto image = Image(100);
  ChildProcess cli(QUARNEL_CLI_RECASED, {"--port", "sim0", image.string()}, dir_.path(),
                   dir_.path(), "recased");
  const auto status = cli.WaitForExit(std::chrono::seconds(60));
  ASSERT_EQ(sim.Stop(), 0);

  EXPECT_EQ(status, 0) << cli.Stderr();
  const auto out = SplitLines(cli.Stdout());
  EXPECT_THAT(out, Contains("Programming complete"));
  EXPECT_THAT(out, Not(Contains("Programming Complete")));
  EXPECT_THAT(cli.Stderr(), HasSubstr("programming complete, the target was reset"));
  EXPECT_EQ(sim.ReceivedImage(), PaddedToBlocks(image_));
}

TEST_F(CliTest, ErrorBitsOnABlockAbortTheRunAndTheTargetIsStillReset) {
  Simulator sim(dir_.path(), {"--erase-ms", "5", "--status-bits", "3:0840"});
  const auto image = Image(240);
  // The port as --list-ports shows it: the full path.
  const CliResult cli = RunCli({"--port", sim.port(), image.string()}, dir_.path());
  ASSERT_EQ(sim.Stop(), 0);

  EXPECT_EQ(cli.exit_status, 4) << cli.stderr_text;
  EXPECT_TRUE(InOrder(cli.stdout_lines,
                      {"Programming from " + image.string(), "ERROR - Error during Programming",
                       "  record frame length error", "  record checksum error",
                       "  Programming Aborted", "Reset Target", "Device Reset"}))
      << Joined(cli.stdout_lines);
  EXPECT_THAT(cli.stdout_lines, Not(Contains("Programming Complete")));
  EXPECT_EQ(cli.stdout_lines.back(), "Comm Port Closed");
  EXPECT_THAT(cli.stderr_text, HasSubstr("error while programming"));
  EXPECT_EQ(CountIf(sim.ReceivedRecords(), IsDataRecord), 3);
}

TEST_F(CliTest, UnansweredEraseEndsWithTimeOutStatus) {
  Simulator sim(dir_.path(), {"--drop-command", "6"});
  const auto image = Image(100);
  const CliResult cli =
      RunCli({"--port", "sim0", image.string()}, dir_.path(), std::chrono::seconds(40));
  ASSERT_EQ(sim.Stop(), 0);

  EXPECT_EQ(cli.exit_status, 5) << cli.stderr_text;
  EXPECT_TRUE(InOrder(cli.stdout_lines,
                      {"Erase Target", "ERROR - No response to ERASE command", "Comm Port Closed"}))
      << Joined(cli.stdout_lines);
  EXPECT_EQ(cli.stdout_lines.back(), "Comm Port Closed");
  EXPECT_THAT(cli.stdout_lines, Not(Contains("Program PIC")));
  EXPECT_EQ(CountIf(sim.ReceivedRecords(), IsDataRecord), 0);
  EXPECT_THAT(cli.stderr_text, HasSubstr("erase"));
}

// The times, in ms from the first day's midnight, at which the simulator
// received the data records (from its log's "hh:mm:ss.mmm <- *..." lines).
// A run across midnight goes on counting into the next day.
std::vector<int64_t> DataRecordTimes(const std::string& log) {
  constexpr int64_t kDay = 24 * 60 * 60 * 1000;
  std::vector<int64_t> times;
  for (const std::string& line : SplitLines(log)) {
    if (line.find(" <- *") != 12) continue;
    const auto number = [&](size_t at, size_t digits) {
      return std::stoll(line.substr(at, digits));
    };
    int64_t at = ((number(0, 2) * 60 + number(3, 2)) * 60 + number(6, 2)) * 1000 + number(9, 3);
    while (!times.empty() && at < times.back()) at += kDay;
    times.push_back(at);
  }
  return times;
}

// The one case on the real clock that has to wait its 20 s: a block that is
// never answered goes out ten times, 2 s apart, and only then does the chain
// give up and close the port.
TEST_F(CliTest, ANeverAnsweredBlockIsSentTenTimesThenThePortIsClosed) {
  Simulator sim(dir_.path(), {"--drop-block", "2"});
  const auto image = Image(100);
  const CliResult cli = RunCli({"--port", "sim0", image.string()}, dir_.path());
  ASSERT_EQ(sim.Stop(), 0);

  EXPECT_EQ(cli.exit_status, 5) << cli.stderr_text;
  EXPECT_TRUE(InOrder(cli.stdout_lines, {"FAILED - Comms Timeout Error", "Comm Port Closed"}))
      << Joined(cli.stdout_lines);
  EXPECT_EQ(cli.stdout_lines.back(), "Comm Port Closed");
  EXPECT_THAT(cli.stdout_lines, Not(Contains("Reset Target")));
  EXPECT_THAT(cli.stderr_text, HasSubstr("no answer to data record 2 of 5, sent 10 times"));

  const auto records = sim.ReceivedRecords();
  std::vector<std::string> data;
  std::copy_if(records.begin(), records.end(), std::back_inserter(data), IsDataRecord);
  ASSERT_EQ(data.size(), 11u) << "block 1 once, block 2 ten times";
  for (size_t i = 2; i < data.size(); ++i) EXPECT_EQ(data[i], data[1]) << "sent unchanged";
  const auto times = DataRecordTimes(sim.Log());
  ASSERT_EQ(times.size(), 11u);
  for (size_t i = 2; i < times.size(); ++i) {
    EXPECT_NEAR(times[i] - times[i - 1], 2000, 250) << "sending " << i;
  }
}

// A unit swapped while it was programmed answers with another target ID:
// the run stops there, and the new unit is never reported programmed.
TEST_F(CliTest, AUnitThatChangesDuringProgrammingIsNoProgrammedUnit) {
  Simulator sim(dir_.path(), {"--erase-ms", "5", "--id-after", "3:00C7"});
  const auto image = Image(240);
  const CliResult cli = RunCli({"--port", "sim0", image.string()}, dir_.path());
  ASSERT_EQ(sim.Stop(), 0);
  EXPECT_EQ(cli.exit_status, 1) << cli.stderr_text;
  EXPECT_THAT(cli.stderr_text,
              HasSubstr("the unit changed during programming (target 1A2B, then 00C7)"));
  EXPECT_THAT(cli.stdout_lines, Not(Contains("Programming Complete")));
  // Nothing went out after the other unit's answer.
  const auto records = sim.ReceivedRecords();
  EXPECT_EQ(CountIf(records, IsDataRecord), 3);
}

// The adapter goes away in the middle of the run: one message that names the
// port, a closing line that says what happened, and an exit status of its own.
TEST_F(CliTest, APortThatGoesAwayEndsWithItsOwnStatus) {
  Simulator sim(dir_.path(), {"--erase-ms", "5", "--hang-up-after", "3"});
  const auto image = Image(240);
  const auto start = Clock::now();
  const CliResult cli = RunCli({"--port", "sim0", image.string()}, dir_.path());
  const auto took = Clock::now() - start;
  EXPECT_EQ(sim.WaitForExit(std::chrono::seconds(5)), 0);

  EXPECT_EQ(cli.exit_status, 7) << cli.stderr_text;
  EXPECT_LT(took, std::chrono::seconds(15)) << "no waiting for time-outs";
  EXPECT_EQ(cli.stdout_lines.back(), "Comm Port Closed");
  EXPECT_THAT(cli.stdout_lines, Not(Contains("FAILED - Comms Timeout Error")));
  // Named as the operator named it, and as the port list shows it.
  const std::string gone = "port sim0 is gone";
  const size_t first = cli.stderr_text.find(gone);
  ASSERT_NE(first, std::string::npos) << cli.stderr_text;
  EXPECT_EQ(cli.stderr_text.find(gone, first + 1), std::string::npos) << "said once";
  EXPECT_THAT(cli.stderr_text, HasSubstr("the port sim0"
                                         " went away (was the adapter unplugged?); it was closed "
                                         "(exit status 7)"));
}

TEST_F(CliTest, UnansweredResetEndsWithTimeOutStatus) {
  Simulator sim(dir_.path(), {"--drop-command", "9"});
  const auto image = Image(48);
  const CliResult cli = RunCli({"--port", "sim0", image.string()}, dir_.path());
  ASSERT_EQ(sim.Stop(), 0);

  EXPECT_EQ(cli.exit_status, 5) << cli.stderr_text;
  EXPECT_THAT(cli.stdout_lines, Contains("Programming Complete"));
  EXPECT_THAT(cli.stdout_lines, Not(Contains("Device Reset")));
  EXPECT_GE(CountIf(cli.stdout_lines, [](const std::string& l) { return l == "Reset Target"; }), 2);
  EXPECT_EQ(cli.stdout_lines.back(), "Comm Port Closed");
  EXPECT_THAT(cli.stderr_text, HasSubstr("reset"));
  EXPECT_EQ(sim.ReceivedImage(), PaddedToBlocks(image_));
}

TEST_F(CliTest, RunsThatCannotStartExitWithStatusThreeAndSendNothing) {
  Simulator sim(dir_.path(), {});
  const auto image = Image(100);

  const CliResult no_port =
      RunCli({"--port", (dir_.path() / "no-such-port").string(), image.string()}, dir_.path());
  EXPECT_EQ(no_port.exit_status, 3);
  EXPECT_THAT(no_port.stderr_text, HasSubstr("could not start"));
  EXPECT_THAT(no_port.stdout_lines, ElementsAre("Program Ready"));

  const CliResult no_image =
      RunCli({"--port", "sim0", (dir_.path() / "missing.cry").string()}, dir_.path());
  EXPECT_EQ(no_image.exit_status, 3);
  EXPECT_THAT(no_image.stderr_text, HasSubstr("not found"));
  EXPECT_THAT(no_image.stdout_lines, IsEmpty());

  const auto empty = dir_.path() / "empty.cry";
  WriteBytes(empty, {});
  const CliResult empty_image = RunCli({"--port", "sim0", empty.string()}, dir_.path());
  EXPECT_EQ(empty_image.exit_status, 3);
  EXPECT_THAT(empty_image.stderr_text, HasSubstr("empty"));

  ASSERT_EQ(sim.Stop(), 0);
  EXPECT_THAT(sim.ReceivedRecords(), IsEmpty()) << "the image is checked before the port opens";
}

TEST_F(CliTest, CaptureTimeOutStopsTheCaptureAndClosesThePort) {
  Simulator sim(dir_.path(), {"--power-on-after", "60000"});
  const auto image = Image(100);
  const auto start = Clock::now();
  const CliResult cli =
      RunCli({"--port", "sim0", "--capture-timeout", "1.2", image.string()}, dir_.path());
  const auto took = Clock::now() - start;
  ASSERT_EQ(sim.Stop(), 0);

  EXPECT_EQ(cli.exit_status, 6) << cli.stderr_text;
  EXPECT_GE(took, std::chrono::milliseconds(1200));
  EXPECT_LT(took, std::chrono::seconds(5));
  ASSERT_GE(cli.stdout_lines.size(), 2u);
  EXPECT_EQ(cli.stdout_lines[cli.stdout_lines.size() - 2], "Stop Capture");
  EXPECT_EQ(cli.stdout_lines.back(), "Comm Port Closed");
  const auto records = sim.ReceivedRecords();
  EXPECT_GE(records.size(), 2u);
  EXPECT_EQ(CountIf(records, [](const std::string& r) { return CommandCode(r) == 3; }),
            static_cast<int>(records.size()))
      << "only capture commands went out";
}

// Started with standard output and error closed, it must not take the port
// for one of them: the prompt and the status lines would go down the line.
// The port is a pseudo-terminal here, so every byte sent is seen.
TEST_F(CliTest, ClosedStandardStreamsDoNotBecomeThePort) {
  platform::PseudoTerminal line;
  const auto image = Image(100);
  ChildProcess cli(QUARNEL_CLI,
                   {"--port", line.SlavePath(), "--capture-timeout", "1", image.string()},
                   dir_.path(), dir_.path(), "closed", ChildProcess::Streams::kClosed);
  EXPECT_EQ(cli.WaitForExit(std::chrono::seconds(10)), 6);

  std::string sent;
  char buffer[4096];
  pollfd ready{line.MasterFd(), POLLIN, 0};
  while (::poll(&ready, 1, 200) > 0) {
    const ssize_t got = ::read(line.MasterFd(), buffer, sizeof buffer);
    if (got <= 0) break;  // the port was closed: end of what was sent
    sent.append(buffer, static_cast<size_t>(got));
  }
  const auto records = SplitLines(sent);
  EXPECT_GE(records.size(), 2u);
  for (const auto& record : records) {
    EXPECT_EQ(CommandCode(record.substr(0, record.size() - 1)), 3) << record;
  }
}

// A target on the wrong line speed: every capture is followed by a line, but
// none is an answer. The closing message points at the line, not at the power.
TEST_F(CliTest, CaptureTimeOutAfterLinesThatAreNoAnswersBlamesTheLine) {
  platform::PseudoTerminal line;
  std::atomic<bool> done{false};
  std::thread target([&] {
    char buffer[256];
    pollfd ready{line.MasterFd(), POLLIN, 0};
    while (!done && ::poll(&ready, 1, 50) >= 0) {
      if (ready.revents == 0) continue;
      if (::read(line.MasterFd(), buffer, sizeof buffer) <= 0) break;
      const std::string noise = "\x9C\xE3\x1F~\x86!\xF8\n";
      if (::write(line.MasterFd(), noise.data(), noise.size()) < 0) break;
    }
  });
  const auto image = Image(100);
  const CliResult cli =
      RunCli({"--port", line.SlavePath(), "--capture-timeout", "1.5", image.string()}, dir_.path());
  done = true;
  target.join();

  EXPECT_EQ(cli.exit_status, 6) << cli.stderr_text;
  EXPECT_THAT(
      cli.stderr_text,
      ::testing::ContainsRegex(
          "[0-9]+ lines arrived but none was a valid answer: check the line speed and wiring"));
}

TEST_F(CliTest, CtrlCDisconnectsAndExitsWith130) {
  Simulator sim(dir_.path(), {"--power-on-after", "60000"});
  const auto image = Image(100);
  ChildProcess cli(QUARNEL_CLI, {"--port", "sim0", image.string()}, dir_.path(), dir_.path(),
                   "interrupted");
  ASSERT_TRUE(cli.WaitForStdout(
      [](const std::string& out) { return out.find("Start Capture\n") != std::string::npos; },
      std::chrono::seconds(5)));
  cli.Signal(SIGINT);
  const auto status = cli.WaitForExit(std::chrono::seconds(5));
  ASSERT_TRUE(status.has_value()) << "quarnel-cli did not end after Ctrl-C";
  EXPECT_EQ(*status, 130);
  const auto out = SplitLines(cli.Stdout());
  ASSERT_FALSE(out.empty());
  EXPECT_EQ(out.back(), "Comm Port Closed");
  EXPECT_THAT(cli.Stderr(), HasSubstr("interrupted"));
  EXPECT_EQ(sim.Stop(), 0);
}

TEST_F(CliTest, CommandLineHelpPortListAndUsageErrors) {
  const CliResult help = RunCli({"--help"}, dir_.path());
  EXPECT_EQ(help.exit_status, 0);
  const std::string help_text = Joined(help.stdout_lines);
  for (const char* part :
       {"--port", "--capture-timeout", "--list-ports", "Exit status", "130", "Example"}) {
    EXPECT_THAT(help_text, HasSubstr(part));
  }

  Simulator sim(dir_.path(), {});
  const CliResult list = RunCli({"--list-ports"}, dir_.path());
  EXPECT_EQ(list.exit_status, 0);
  EXPECT_THAT(list.stdout_lines, Contains(sim.port()));

  const auto image = Image(24);
  EXPECT_EQ(RunCli({image.string()}, dir_.path()).exit_status, 2);
  EXPECT_EQ(RunCli({"--port", "sim0"}, dir_.path()).exit_status, 2);
  EXPECT_EQ(RunCli({"--port", "sim0", "--capture-timeout", "soon", image.string()}, dir_.path())
                .exit_status,
            2);
  const CliResult unknown = RunCli({"--port", "sim0", "--fast", image.string()}, dir_.path());
  EXPECT_EQ(unknown.exit_status, 2);
  EXPECT_THAT(unknown.stderr_text, HasSubstr("--fast"));
  EXPECT_THAT(unknown.stdout_lines, IsEmpty());
  ASSERT_EQ(sim.Stop(), 0);
  EXPECT_THAT(sim.ReceivedRecords(), IsEmpty());
}

}  // namespace
}  // namespace e2e
