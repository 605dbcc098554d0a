// The window model in this process, without a display, against the simulated
// target over its pseudo-terminal: the real serial component, real threads
// and real time, checked by the status display and by what the target got.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>

#include "comm/VaComm.h"
#include "e2e/e2e_support.h"
#include "e2e/form_harness.h"

namespace e2e {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::Not;
using Clock = std::chrono::steady_clock;
using LoopClock = tk::HeadlessEventLoop::Clock;

const std::string kUnderline(38, '_');

std::vector<std::string> InfoBlock(const std::string& sequence, const std::string& status,
                                   const std::vector<std::string>& bit_lines) {
  std::vector<std::string> lines{"Target ID:              1A2B",
                                 "Sequence #:             " + sequence,
                                 "Target Status:          " + status};
  lines.insert(lines.end(), bit_lines.begin(), bit_lines.end());
  lines.push_back(kUnderline);
  return lines;
}

std::vector<std::string> Concat(std::vector<std::vector<std::string>> parts) {
  std::vector<std::string> all;
  for (auto& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

std::vector<std::string> DataRecords(const std::vector<std::string>& records) {
  std::vector<std::string> data;
  std::copy_if(records.begin(), records.end(), std::back_inserter(data), IsDataRecord);
  return data;
}

std::string Hex4(size_t value) {
  char text[24];
  std::snprintf(text, sizeof text, "%04zX", value);
  return text;
}

bool StartsWith(const std::string& text, const std::string& prefix) {
  return text.rfind(prefix, 0) == 0;
}

class FormAgainstSimulator : public ::testing::Test {
 protected:
  std::string WriteImage(size_t size) {
    image_ = MakeImage(size, static_cast<uint32_t>(size));
    const auto path = dir_.path() / "image.cry";
    WriteBytes(path, image_);
    return path.string();
  }

  // Connects and waits for the capture's answer.
  void ConnectAndCapture(FormHarness& ui, const Simulator& sim) {
    ui.Mark();
    ui.ConnectWithoutGuidedFlow(sim.port());
    ASSERT_EQ(ui.form().connect.Caption(), "Disconnect") << ::testing::PrintToString(ui.messages());
    ASSERT_TRUE(ui.RunUntilLine("Device in Loader Mode"));
  }

  TempDir dir_;
  std::vector<uint8_t> image_;
};

TEST_F(FormAgainstSimulator, CaptureRepeatsUntilTheUnitIsPoweredOnThenStops) {
  Simulator sim(dir_.path(), {"--power-on-after", "1200"});
  const std::string image = WriteImage(24);
  FormHarness ui(LoopClock::Real, image);
  ui.Mark();
  ui.ConnectWithoutGuidedFlow(sim.port());
  ASSERT_TRUE(ui.RunUntilLine("Device in Loader Mode", std::chrono::seconds(5)));
  // The capture loop ended with the answer: nothing more goes out.
  ui.RunFor(std::chrono::milliseconds(1100));
  ASSERT_EQ(sim.Stop(), 0);

  const auto records = sim.ReceivedRecords();
  ASSERT_GE(records.size(), 3u) << "commands at 0, 500 and 1000 ms meet a unit that is off";
  for (size_t i = 0; i < records.size(); ++i) {
    EXPECT_EQ(CommandCode(records[i]), 3);
    EXPECT_EQ(records[i].substr(1, 4), Hex4(i + 1)) << "a new sequence number each time";
  }
  const std::string last_sequence = Hex4(records.size());
  EXPECT_THAT(ui.LinesSinceMark(),
              ElementsAreArray(Concat({{"Port " + sim.port() + " open", image, "Start Capture",
                                        "Device in Loader Mode"},
                                       InfoBlock(last_sequence, "4000", {"  in loader mode"})})));
  EXPECT_FALSE(ui.form().Timer1.Enabled());
  EXPECT_TRUE(ui.form().BErase.Enabled());
  EXPECT_FALSE(ui.form().BStopCapture.Enabled());
  EXPECT_TRUE(ui.messages().empty());
}

TEST_F(FormAgainstSimulator, CaptureOfAPoweredUnitIsAnsweredAtOnce) {
  Simulator sim(dir_.path(), {});
  FormHarness ui(LoopClock::Real, WriteImage(24));
  ConnectAndCapture(ui, sim);
  ui.RunFor(std::chrono::milliseconds(700));
  ASSERT_EQ(sim.Stop(), 0);
  EXPECT_THAT(sim.ReceivedRecords(), ElementsAre(":00010103FB"));
}

TEST_F(FormAgainstSimulator, EachEraseAndTheResetAreAnsweredAndReported) {
  Simulator sim(dir_.path(), {"--erase-ms", "60"});
  FormHarness ui(LoopClock::Real, WriteImage(24));
  ConnectAndCapture(ui, sim);
  quarnel::TForm1& form = ui.form();
  const std::vector<std::string> loader{"  in loader mode"};

  struct Step {
    tk::TButton& button;
    std::string sent_line, answer_line, sequence, status;
    std::vector<std::string> bits;
  };
  const Step steps[] = {
      {form.BErase, "Erase Target", "Device Erased", "0002", "4000", loader},
      {form.BEraseEE, "Erase Data ", "EEPROM Erased", "0003", "4000", loader},
      {form.BErasePRG, "Erase Program", "PGM Memory Only Erased", "0004", "4000", loader},
      {form.BResetTarget, "Reset Target", "Device Reset", "0005", "0000", {}},
  };
  for (const Step& step : steps) {
    ui.Mark();
    step.button.Click();
    if (&step.button != &form.BResetTarget) {
      EXPECT_FALSE(form.BErase.Enabled()) << "target buttons wait for the answer";
      EXPECT_TRUE(form.Timer1.Enabled()) << "the erase time-out runs";
    }
    ASSERT_TRUE(ui.RunUntilLine(step.answer_line)) << step.sent_line;
    EXPECT_THAT(ui.LinesSinceMark(),
                ElementsAreArray(Concat({{step.sent_line, step.answer_line},
                                         InfoBlock(step.sequence, step.status, step.bits)})));
    EXPECT_FALSE(form.Timer1.Enabled());
  }
  // Reset left loader mode: the erase buttons follow the status word.
  EXPECT_FALSE(form.BErase.Enabled());
  EXPECT_TRUE(form.Locate.Enabled());
  ASSERT_EQ(sim.Stop(), 0);

  std::vector<int> commands;
  for (const auto& r : sim.ReceivedRecords()) commands.push_back(CommandCode(r));
  EXPECT_THAT(commands, ElementsAre(3, 6, 8, 7, 9));
  EXPECT_TRUE(ui.messages().empty());
}

// The image is large enough to take every block count and sequence number
// through four hex digits. The loop runs on a virtual clock so the 30 ms pause
// per block costs no real time (2731 blocks would spend 82 s in it); answers
// still travel over the pseudo-terminal and the serial component's threads.
TEST_F(FormAgainstSimulator, Programs64KiBImageByteForByte) {
  Simulator sim(dir_.path(), {});
  const std::string image = WriteImage(64 * 1024);
  FormHarness ui(LoopClock::Virtual, image);
  ConnectAndCapture(ui, sim);

  ui.Mark();
  const int64_t virtual_start = ui.loop().NowMs();
  ui.form().BPicProgram.Click();
  ASSERT_TRUE(ui.RunUntilLine("Programming Complete", std::chrono::seconds(60)));
  EXPECT_EQ(ui.loop().NowMs() - virtual_start, 2730 * 30) << "one pause before every later block";
  EXPECT_EQ(ui.form().LastResponseCode, 99);
  EXPECT_EQ(ui.form().BlocksSent, 2731);
  EXPECT_FALSE(ui.form().Gauge1.Visible());
  const auto lines = ui.LinesSinceMark();
  EXPECT_EQ(lines.front(), "Program PIC");
  EXPECT_EQ(lines[1], "Programming from " + image);

  ui.form().BResetTarget.Click();
  ASSERT_TRUE(ui.RunUntilLine("Device Reset"));
  ASSERT_EQ(sim.Stop(), 0);
  const auto data = DataRecords(sim.ReceivedRecords());
  EXPECT_EQ(data.size(), 2731u) << "no block sent twice";
  EXPECT_EQ(data.front().substr(1, 4), "0001");
  EXPECT_EQ(data.back().substr(1, 4), "0AAB");
  EXPECT_EQ(sim.ReceivedImage(), PaddedToBlocks(image_));
  EXPECT_TRUE(ui.messages().empty());
}

TEST_F(FormAgainstSimulator, ProgrammingOnTheRealClockPacesTheBlocks) {
  Simulator sim(dir_.path(), {});
  FormHarness ui(LoopClock::Real, WriteImage(20 * 24 - 5));
  ConnectAndCapture(ui, sim);
  const auto start = Clock::now();
  ui.form().BPicProgram.Click();
  ASSERT_TRUE(ui.RunUntilLine("Programming Complete"));
  EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(19 * 30));
  ASSERT_EQ(sim.Stop(), 0);
  EXPECT_EQ(sim.ReceivedImage(), PaddedToBlocks(image_));
}

TEST_F(FormAgainstSimulator, DroppedAcknowledgementIsMadeGoodByOneRetransmission) {
  // Record 1 is the capture, 2 the first block: the second block's
  // acknowledgement is lost.
  Simulator sim(dir_.path(), {"--drop-answer", "3"});
  FormHarness ui(LoopClock::Real, WriteImage(5 * 24));
  ConnectAndCapture(ui, sim);
  ui.Mark();
  const auto start = Clock::now();
  ui.form().BPicProgram.Click();
  ASSERT_TRUE(ui.RunUntilLine("Programming Complete"));
  EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(2000)) << "retransmitted after 2 s";
  EXPECT_THAT(ui.LinesSinceMark(), Not(Contains("FAILED - Comms Timeout Error")));
  ASSERT_EQ(sim.Stop(), 0);

  const auto data = DataRecords(sim.ReceivedRecords());
  ASSERT_EQ(data.size(), 6u);
  EXPECT_EQ(data[1], data[2]) << "the same record, sequence number and checksum";
  EXPECT_EQ(sim.ReceivedImage(), PaddedToBlocks(image_));
}

TEST_F(FormAgainstSimulator, CorruptedChecksumIsReportedAndTheBlockSentAgain) {
  Simulator sim(dir_.path(), {"--corrupt-checksum", "3"});
  FormHarness ui(LoopClock::Real, WriteImage(4 * 24));
  ConnectAndCapture(ui, sim);
  ui.Mark();
  ui.form().BPicProgram.Click();
  ASSERT_TRUE(ui.RunUntilLine("Programming Complete"));
  const auto lines = ui.LinesSinceMark();
  EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                          [](const std::string& l) {
                            return StartsWith(l, "Response Record Checksum Error --> ");
                          }),
            1);
  ASSERT_EQ(sim.Stop(), 0);
  const auto data = DataRecords(sim.ReceivedRecords());
  ASSERT_EQ(data.size(), 5u);
  EXPECT_EQ(data[1], data[2]);
  EXPECT_EQ(sim.ReceivedImage(), PaddedToBlocks(image_));
}

TEST_F(FormAgainstSimulator, ErrorBitsOnAnAcknowledgementAbortTheRun) {
  Simulator sim(dir_.path(), {"--status-bits", "2:0840"});
  FormHarness ui(LoopClock::Real, WriteImage(6 * 24));
  ConnectAndCapture(ui, sim);
  ui.Mark();
  ui.form().BPicProgram.Click();
  ASSERT_TRUE(ui.RunUntilLine("  Programming Aborted"));
  ui.RunFor(std::chrono::milliseconds(300));
  const auto lines = ui.LinesSinceMark();
  ASSERT_GE(lines.size(), 12u);
  const std::vector<std::string> tail(lines.end() - 12, lines.end());
  EXPECT_THAT(
      tail, ElementsAreArray(Concat(
                {{"ERROR - Error during Programming", "  record frame length error",
                  "  record checksum error", "  Programming Aborted"},
                 InfoBlock("0002", "4850",
                           {"  in loader mode", "  record frame length error",
                            "  record checksum error", "  finished programing current record"})})));
  EXPECT_EQ(ui.form().LastResponseCode, 99);
  EXPECT_FALSE(ui.form().Timer1.Enabled());
  EXPECT_FALSE(ui.form().Gauge1.Visible());
  ASSERT_EQ(sim.Stop(), 0);
  EXPECT_EQ(DataRecords(sim.ReceivedRecords()).size(), 2u) << "nothing sent after the abort";
}

}  // namespace
}  // namespace e2e

namespace e2e {
namespace {

// The image file is rewritten in place while block 20 of 500 is on its way,
// shorter and with other bytes: the unit still gets the image as it was when
// the run began, every block of it.
TEST_F(FormAgainstSimulator, AnImageRewrittenDuringTheRunReachesTheUnitAsItWas) {
  Simulator sim(dir_.path(), {});
  const std::string image = WriteImage(500 * 24);
  FormHarness ui(LoopClock::Virtual, image);
  ConnectAndCapture(ui, sim);
  ui.form().Gauge1.AddObserver([&](tk::TControl&, tk::Change change) {
    if (change == tk::Change::Gauge && ui.form().Gauge1.Progress() == 20) {
      WriteBytes(image, std::vector<uint8_t>(300 * 24, 0xEE));
    }
  });

  ui.Mark();
  ui.form().BPicProgram.Click();
  ASSERT_TRUE(ui.RunUntilLine("Programming Complete", std::chrono::seconds(60)));
  EXPECT_EQ(ui.form().BlocksSent, 500);
  ASSERT_EQ(ReadBytes(image).size(), 300u * 24) << "the file was rewritten during the run";
  ui.form().BResetTarget.Click();
  ASSERT_TRUE(ui.RunUntilLine("Device Reset"));
  ASSERT_EQ(sim.Stop(), 0);
  EXPECT_EQ(sim.ReceivedImage(), image_);
}

// The whole guided chain on the virtual clock: the answers to block 20 are
// lost three times, and the retransmissions make good for them.
TEST_F(FormAgainstSimulator, ABlockWhoseAnswerIsLostThreeTimesIsProgrammedInTheGuidedChain) {
  Simulator sim(dir_.path(), {"--drop-block", "20:3"});
  FormHarness ui(LoopClock::Virtual, WriteImage(40 * 24 + 5));
  ui.ConnectGuided(sim.port());
  ASSERT_EQ(ui.form().connect.Caption(), "Disconnect") << ::testing::PrintToString(ui.messages());
  ASSERT_TRUE(ui.RunVirtualUntil([&] { return ui.form().LastOutcome().has_value(); }));

  const quarnel::SequenceOutcome& outcome = *ui.form().LastOutcome();
  EXPECT_EQ(outcome.ending, quarnel::SequenceEnding::kProgrammed);
  EXPECT_GE(outcome.retransmissions, 3);
  EXPECT_EQ(outcome.blocks_sent, 41);
  EXPECT_EQ(ui.form().LabResult.Caption(), "Unit programmed — 965 bytes, target 1A2B");
  ASSERT_EQ(sim.Stop(), 0);
  const auto data = DataRecords(sim.ReceivedRecords());
  EXPECT_GE(std::count(data.begin(), data.end(), data[19]), 4) << "block 20 sent four times";
  EXPECT_EQ(sim.ReceivedImage(), PaddedToBlocks(image_));
  EXPECT_TRUE(ui.messages().empty());
}

// The adapter goes away in the middle of the run: the window closes the port,
// says so once, and the sequence ends as the port lost.
TEST_F(FormAgainstSimulator, APortThatGoesAwayDuringTheRunEndsItWithOneMessage) {
  Simulator sim(dir_.path(), {"--hang-up-after", "5"});
  FormHarness ui(LoopClock::Virtual, WriteImage(40 * 24));
  // A box left open for a minute runs the timers underneath.
  ui.while_message_open = [&] {
    if (ui.messages().size() < 4) ui.loop().AdvanceBy(60000);
  };
  ui.ConnectGuided(sim.port());
  ASSERT_TRUE(ui.RunVirtualUntil([&] { return ui.form().LastOutcome().has_value(); }));
  ui.loop().AdvanceBy(60000);

  EXPECT_EQ(ui.form().LastOutcome()->ending, quarnel::SequenceEnding::kPortLost);
  ASSERT_EQ(ui.messages().size(), 1u) << ::testing::PrintToString(ui.messages());
  EXPECT_THAT(ui.messages()[0], ::testing::HasSubstr(sim.port() + " is gone"));
  EXPECT_FALSE(ui.form().VaComm->Active());
  EXPECT_FALSE(ui.form().Timer1.Enabled());
  EXPECT_TRUE(ui.form().ButChooseCC.Enabled());
  EXPECT_EQ(sim.WaitForExit(std::chrono::seconds(5)), 0);
}

}  // namespace
}  // namespace e2e
