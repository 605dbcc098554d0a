// The programming run: choosing the image, cutting it into data records,
// acknowledgements, aborts, retransmission and the time-out, on a virtual
// clock with answers fed through the window's own reception path.
#include <gtest/gtest.h>

#include <filesystem>

#include "window_fixture.h"

namespace quarnel::testing {
namespace {

// The data record that carries `bytes` (at most 24) as block `sequence`,
// zero-filled, built here independently of the record code.
std::string DataRecord(uint16_t sequence, std::vector<uint8_t> bytes) {
  bytes.resize(BlockSize, 0);
  int sum = (sequence >> 8) + (sequence & 0xFF);
  std::string text = "*" + ByteToHex(sequence >> 8) + ByteToHex(sequence & 0xFF);
  for (uint8_t b : bytes) {
    text += ByteToHex(b);
    sum += b;
  }
  return text + ByteToHex(static_cast<uint8_t>(-sum)) + "\r\n";
}

std::vector<uint8_t> Slice(const std::vector<uint8_t>& bytes, size_t from, size_t count) {
  return {bytes.begin() + static_cast<std::ptrdiff_t>(from),
          bytes.begin() + static_cast<std::ptrdiff_t>(std::min(bytes.size(), from + count))};
}

class ProgrammingRunTest : public WindowTest {
 protected:
  // The state a run normally starts from: the target captured, a file chosen.
  void ChooseAndCapture(const std::string& path) {
    dialogs.chosen_file = path;
    form->BPicSourceClick();
    form->Button1Click();
    form->TargetStatus = kLoaderMode;
    port.writes.clear();
  }
  void Start(const std::string& path) {
    ChooseAndCapture(path);
    form->BPicProgramClick();
  }
};

TEST_F(ProgrammingRunTest, ChoosingTheImageShowsAndLogsItsPath) {
  form->TargetStatus = kLoaderMode;
  const std::string image = Image(CountingBytes(30), "unit 7.cry");
  dialogs.chosen_file = image;
  form->BPicSourceClick();

  EXPECT_EQ(dialogs.seen_filter, "*.cry|*.cry");
  EXPECT_EQ(dialogs.seen_default_ext, "cry");
  EXPECT_TRUE(dialogs.seen_options_ex & tk::ofExNoPlacesBar);
  EXPECT_EQ(form->SourceFileName, image);
  EXPECT_TRUE(form->SourceFileChosen);
  EXPECT_EQ(form->EPicSource.Text(), image);
  EXPECT_EQ(form->Memo1.Lines().back(), image);
  EXPECT_TRUE(form->BPicProgram.Enabled());
  EXPECT_FALSE(form->Closed());
  EXPECT_TRUE(dialogs.messages.empty());
}

// Found only when programming starts, a missing or empty image would cost
// the unit its capture and three erases: it is checked when chosen.
TEST_F(ProgrammingRunTest, AnImageThatCannotBeProgrammedIsRefusedWhenChosen) {
  const std::string good = Image(CountingBytes(30), "good.cry");
  const std::string empty = Image({}, "empty.cry");
  const std::string directory = std::filesystem::path(good).parent_path().string();
  const struct {
    std::string path, reason;
  } refused[] = {
      {MissingImage(), " not found"}, {empty, " is empty"}, {directory, " is not a file"}};
  for (const auto& [path, reason] : refused) {
    ChooseAndCapture(good);
    ASSERT_TRUE(form->BPicProgram.Enabled());
    dialogs.messages.clear();
    const size_t mark = Mark();
    dialogs.chosen_file = path;
    form->BPicSourceClick();

    EXPECT_EQ(dialogs.messages,
              std::vector<std::string>{"The image " + path + reason + ".\nChoose another image."});
    EXPECT_FALSE(form->SourceFileChosen);
    EXPECT_TRUE(form->SourceFileName.empty());
    EXPECT_FALSE(form->BPicProgram.Enabled()) << "no image to program";
    EXPECT_TRUE(LinesSince(mark).empty());
    EXPECT_FALSE(form->Closed());
  }
}

TEST_F(ProgrammingRunTest, CancellingTheFileDialogClosesTheWindow) {
  form->SourceFileName = "/images/old.cry";
  form->SourceFileChosen = true;
  form->EPicSource.SetText("/images/old.cry");
  dialogs.chosen_file.clear();
  form->BPicSourceClick();

  EXPECT_EQ(dialogs.dialogs_shown, 1);
  EXPECT_TRUE(form->Closed());
  EXPECT_TRUE(form->SourceFileName.empty());
  EXPECT_FALSE(form->SourceFileChosen);
  EXPECT_TRUE(form->EPicSource.Text().empty());
}

TEST_F(ProgrammingRunTest, AFileEmptiedAfterItWasChosenSendsNothing) {
  const std::string image = Image(CountingBytes(30));
  ChooseAndCapture(image);
  testsupport::WriteBytes(image, {});
  const size_t mark = Mark();
  form->BPicProgramClick();

  EXPECT_EQ(LinesSince(mark),
            (std::vector<std::string>{"Program PIC", "Error accessing file " + image}));
  EXPECT_EQ(dialogs.messages,
            std::vector<std::string>{"The image " + image + " is empty.\nChoose another image."});
  EXPECT_TRUE(port.writes.empty());
  EXPECT_FALSE(form->SourceFileOpen);
  EXPECT_FALSE(form->Timer1.Enabled());
  EXPECT_FALSE(form->Gauge1.Visible());
  loop.AdvanceBy(30000);
  EXPECT_TRUE(port.writes.empty());
}

TEST_F(ProgrammingRunTest, ATenByteFileIsOneZeroFilledRecord) {
  const auto bytes = CountingBytes(10);
  const std::string image = Image(bytes);
  ChooseAndCapture(image);
  form->ButChooseCC.SetEnabled(false);
  const size_t mark = Mark();
  form->BPicProgramClick();

  EXPECT_EQ(LinesSince(mark),
            (std::vector<std::string>{"Program PIC", "Programming from " + image}));
  EXPECT_EQ(port.writes, std::vector<std::string>{DataRecord(1, bytes)});
  EXPECT_TRUE(form->Gauge1.Visible());
  EXPECT_EQ(form->Gauge1.MaxValue(), 0);
  EXPECT_TRUE(form->Timer1.Enabled());
  EXPECT_EQ(form->Timer1.Interval(), 2000u);
  for (tk::TButton* button :
       {&form->Locate, &form->BPicProgram, &form->BErase, &form->BEraseEE, &form->BErasePRG}) {
    EXPECT_FALSE(button->Enabled()) << button->Caption();
  }

  const size_t ack_mark = Mark();
  Answer(4, kLoaderMode);
  const auto lines = LinesSince(ack_mark);
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines[0], "Programming Complete");
  EXPECT_EQ(lines[1], "Target ID:              1A2B");
  EXPECT_EQ(lines.back(), std::string(38, '_'));
  EXPECT_EQ(form->LastResponseCode, 99);
  EXPECT_FALSE(form->Gauge1.Visible());
  EXPECT_EQ(form->Gauge1.Progress(), 0);
  EXPECT_TRUE(form->ButChooseCC.Enabled());
  EXPECT_FALSE(form->SourceFileOpen);
  EXPECT_FALSE(form->Timer1.Enabled());
  EXPECT_TRUE(form->BPicProgram.Enabled());
  EXPECT_TRUE(form->Locate.Enabled());
  EXPECT_EQ(port.writes.size(), 1u);
}

TEST_F(ProgrammingRunTest, AFortyEightByteFileIsTwoRecordsPaced30msApart) {
  const auto bytes = CountingBytes(48);
  const std::string image = Image(bytes);
  Start(image);
  EXPECT_EQ(form->Gauge1.MaxValue(), 2);
  EXPECT_EQ(form->Gauge1.Progress(), 1);

  const int64_t before = loop.NowMs();
  Answer(4, kLoaderMode);
  EXPECT_EQ(loop.NowMs() - before, 30);
  EXPECT_EQ(port.writes, (std::vector<std::string>{DataRecord(1, Slice(bytes, 0, 24)),
                                                   DataRecord(2, Slice(bytes, 24, 24))}));
  EXPECT_EQ(form->Gauge1.Progress(), 2);
  EXPECT_EQ(form->LastResponseCode, 4);
  EXPECT_TRUE(form->Timer1.Enabled());

  Answer(4, kLoaderMode);
  EXPECT_TRUE(Logged("Programming Complete"));
  EXPECT_EQ(form->LastResponseCode, 99);
  EXPECT_EQ(port.writes.size(), 2u);
}

TEST_F(ProgrammingRunTest, AFiftyByteFileEndsWithAShortBlock) {
  const auto bytes = CountingBytes(50);
  const std::string image = Image(bytes);
  Start(image);
  EXPECT_EQ(form->Gauge1.MaxValue(), 2);
  std::vector<int> progress{form->Gauge1.Progress()};
  Answer(4, kLoaderMode);
  progress.push_back(form->Gauge1.Progress());
  Answer(4, kLoaderMode);
  progress.push_back(form->Gauge1.Progress());

  EXPECT_EQ(progress, (std::vector<int>{1, 2, 2}));
  EXPECT_EQ(form->BlocksSent, 3);
  ASSERT_EQ(port.writes.size(), 3u);
  EXPECT_EQ(port.writes[2], DataRecord(3, {49, 50}));
  Answer(4, kLoaderMode);
  EXPECT_EQ(form->LastResponseCode, 99);
}

TEST_F(ProgrammingRunTest, ALargerImageArrivesWhole) {
  const auto bytes = CountingBytes(24 * 40 + 7);
  const std::string image = Image(bytes);
  Start(image);
  for (int i = 0; i < 60 && form->SourceFileOpen; ++i) Answer(4, kLoaderMode);

  ASSERT_EQ(port.writes.size(), 41u);
  std::vector<uint8_t> received;
  for (const auto& record : port.writes) {
    const auto payload = PayloadOf(record);
    received.insert(received.end(), payload.begin(), payload.end());
  }
  received.resize(bytes.size());
  EXPECT_EQ(received, bytes);
  EXPECT_EQ(SequenceOf(port.writes.back()), 41);
}

TEST_F(ProgrammingRunTest, RecordErrorsAbortTheRunWithOneLinePerBit) {
  const std::string image = Image(CountingBytes(100));
  Start(image);
  const size_t mark = Mark();
  Answer(4, kLoaderMode | 0x0840);

  const auto lines = LinesSince(mark);
  ASSERT_GE(lines.size(), 5u);
  EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + 5),
            (std::vector<std::string>{"ERROR - Error during Programming",
                                      "  record frame length error", "  record checksum error",
                                      "  Programming Aborted", "Target ID:              1A2B"}));
  EXPECT_EQ(form->LastResponseCode, 99);
  EXPECT_FALSE(form->SourceFileOpen);
  EXPECT_FALSE(form->Gauge1.Visible());
  loop.AdvanceBy(30000);
  EXPECT_EQ(port.writes.size(), 1u);
}

TEST_F(ProgrammingRunTest, EveryErrorBitHasItsLineInOrder) {
  const std::string image = Image(CountingBytes(100));
  Start(image);
  const size_t mark = Mark();
  Answer(4, 0x0A42);

  const auto lines = LinesSince(mark);
  ASSERT_GE(lines.size(), 6u);
  EXPECT_EQ(
      std::vector<std::string>(lines.begin(), lines.begin() + 6),
      (std::vector<std::string>{"ERROR - Error during Programming", "  record frame length error",
                                "  record framing error", "  record checksum error",
                                "  missing Type 4 record", "  Programming Aborted"}));
  // The buttons follow the status word, which has lost the loader-mode bit.
  EXPECT_FALSE(form->BErase.Enabled());
  EXPECT_TRUE(form->Locate.Enabled());
}

TEST_F(ProgrammingRunTest, NotInLoaderModeTakesPrecedenceOverRecordErrors) {
  const std::string image = Image(CountingBytes(100));
  Start(image);
  const size_t mark = Mark();
  Answer(4, 0x1800);

  const auto lines = LinesSince(mark);
  ASSERT_GE(lines.size(), 3u);
  EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + 3),
            (std::vector<std::string>{"ERROR - System not in Loader Mode", "  Programming Aborted",
                                      "Target ID:              1A2B"}));
  EXPECT_FALSE(Logged("ERROR - Error during Programming"));
  EXPECT_EQ(form->LastResponseCode, 99);
  EXPECT_EQ(port.writes.size(), 1u);
}

TEST_F(ProgrammingRunTest, ReportedBitsOutsideTheAbortMaskDoNotStopTheRun) {
  const std::string image = Image(CountingBytes(100));
  Start(image);
  Answer(4, kLoaderMode | 0x0100 | 0x0020);
  EXPECT_EQ(port.writes.size(), 2u);
  EXPECT_TRUE(form->SourceFileOpen);
}

TEST_F(ProgrammingRunTest, AnAcknowledgementWithoutARunOnlyStopsTimer1) {
  form->LocateClick();
  const size_t mark = Mark();
  Answer(4, kLoaderMode);
  EXPECT_FALSE(form->Timer1.Enabled());
  EXPECT_TRUE(LinesSince(mark).empty());
  EXPECT_EQ(form->LastResponseCode, 4);
}

TEST_F(ProgrammingRunTest, RejectedResponsesLeaveTheRetransmissionRunning) {
  const std::string image = Image(CountingBytes(100));
  Start(image);
  const std::string good = ResponseRecord(1, 4, kLoaderMode);
  std::string bad_checksum = good;
  bad_checksum[15] = bad_checksum[15] == '0' ? '1' : '0';

  Receive(bad_checksum);
  Receive(ResponseRecord(7, 4, kLoaderMode));
  Receive(good.substr(0, 16));
  EXPECT_TRUE(form->Timer1.Enabled());
  loop.AdvanceBy(2000);
  ASSERT_EQ(port.writes.size(), 2u);
  EXPECT_EQ(port.writes[1], port.writes[0]);
  EXPECT_EQ(form->RetryCount, 1);
}

TEST_F(ProgrammingRunTest, AnUnansweredRecordGoesOutTenTimesThenTheRunFails) {
  const std::string image = Image(CountingBytes(100));
  Start(image);
  loop.AdvanceBy(18000);
  ASSERT_EQ(port.writes.size(), 10u);
  for (const auto& record : port.writes) EXPECT_EQ(record, port.writes[0]);
  loop.AdvanceBy(1999);
  EXPECT_FALSE(Logged("FAILED - Comms Timeout Error"));

  const size_t mark = Mark();
  loop.AdvanceBy(1);
  EXPECT_EQ(LinesSince(mark), std::vector<std::string>{"FAILED - Comms Timeout Error"});
  EXPECT_FALSE(form->Timer1.Enabled());
  EXPECT_FALSE(form->SourceFileOpen);
  EXPECT_TRUE(form->Gauge1.Visible());  // left as the run stopped
  EXPECT_TRUE(form->BErase.Enabled());  // by the status word
  EXPECT_NE(form->LastResponseCode, 98);
  loop.AdvanceBy(60000);
  EXPECT_EQ(port.writes.size(), 10u);
}

// The guided flow hears of a data record's missing answer only when the run
// has given up on it: a retransmission must get its chance to be answered.
TEST_F(ProgrammingRunTest, OnlyTheLastExpiryTellsTheGuidedFlow) {
  const std::string image = Image(CountingBytes(100));
  Start(image);
  form->LSCProgramTimer.SetEnabled(true);
  form->LSCProgramTimer.OnTimer = nullptr;  // the marker is read here, not acted on
  loop.AdvanceBy(18000);
  EXPECT_EQ(form->RetryCount, 9);
  EXPECT_NE(form->LastResponseCode, 98);
  loop.AdvanceBy(2000);
  EXPECT_TRUE(Logged("FAILED - Comms Timeout Error"));
  EXPECT_EQ(form->LastResponseCode, 98);
}

TEST_F(ProgrammingRunTest, AnAcknowledgementGivesTheNextRecordItsFullTenSendings) {
  const std::string image = Image(CountingBytes(100));
  Start(image);
  loop.AdvanceBy(6000);  // three retransmissions
  EXPECT_EQ(form->RetryCount, 3);
  Answer(4, kLoaderMode);
  EXPECT_EQ(form->RetryCount, 0);
  ASSERT_EQ(port.writes.size(), 5u);

  loop.AdvanceBy(19999);
  EXPECT_EQ(port.writes.size(), 14u);
  EXPECT_FALSE(Logged("FAILED - Comms Timeout Error"));
  loop.AdvanceBy(1);
  EXPECT_TRUE(Logged("FAILED - Comms Timeout Error"));
}

TEST_F(ProgrammingRunTest, WhatIsNoReadableFileDoesNotStartTheRun) {
  const std::string image = Image(CountingBytes(10));
  const std::string directory = std::filesystem::path(image).parent_path().string();
  for (const std::string& path : {MissingImage(), directory}) {
    ChooseAndCapture(image);
    form->SourceFileName = path;  // gone since it was chosen
    const size_t mark = Mark();
    form->BPicProgramClick();

    EXPECT_EQ(LinesSince(mark),
              (std::vector<std::string>{"Program PIC", "File " + path + " not found"}));
    EXPECT_TRUE(port.writes.empty());
    EXPECT_FALSE(form->SourceFileOpen);
    EXPECT_FALSE(form->Timer1.Enabled());
    EXPECT_FALSE(form->Gauge1.Visible());
    EXPECT_EQ(dialogs.messages.size(), 1u);
    dialogs.messages.clear();
  }
}

TEST_F(ProgrammingRunTest, AReadOnlyImageProgramsLikeAnyOther) {
  const auto bytes = CountingBytes(30);
  const std::string image = Image(bytes);
  std::filesystem::permissions(image, std::filesystem::perms(0444));
  Start(image);
  Answer(4, kLoaderMode);
  Answer(4, kLoaderMode);

  EXPECT_EQ(port.writes, (std::vector<std::string>{DataRecord(1, Slice(bytes, 0, 24)),
                                                   DataRecord(2, Slice(bytes, 24, 24))}));
  EXPECT_TRUE(Logged("Programming Complete"));
  EXPECT_EQ(std::filesystem::status(image).permissions(), std::filesystem::perms(0444));
}

TEST_F(ProgrammingRunTest, AClosedPortEndsTheRunWithTheTimeOut) {
  const std::string image = Image(CountingBytes(100));
  Start(image);
  port.open = false;
  loop.AdvanceBy(20000);
  EXPECT_EQ(port.writes.size(), 1u);
  EXPECT_TRUE(Logged("FAILED - Comms Timeout Error"));
  EXPECT_FALSE(form->SourceFileOpen);
}

TEST_F(ProgrammingRunTest, StartingAgainBeginsWithTheFirstBlock) {
  const auto bytes = CountingBytes(100);
  const std::string image = Image(bytes);
  Start(image);
  Answer(4, kLoaderMode);
  form->BPicProgramClick();

  ASSERT_EQ(port.writes.size(), 3u);
  EXPECT_EQ(port.writes[2], DataRecord(1, Slice(bytes, 0, 24)));
  EXPECT_EQ(form->Gauge1.Progress(), 1);
}

TEST_F(ProgrammingRunTest, AFailedRestartLeavesNothingOfTheRunBefore) {
  const std::string image = Image(CountingBytes(100));
  Start(image);
  form->SourceFileName = MissingImage();
  form->BPicProgramClick();
  EXPECT_FALSE(form->SourceFileOpen);

  // A late acknowledgement must not send the abandoned image's next block.
  Answer(4, kLoaderMode);
  EXPECT_EQ(port.writes.size(), 1u);
  EXPECT_FALSE(Logged("Programming Complete"));
}

// /proc/self/mem opens as an empty regular file whose first read fails.
constexpr const char* kUnreadable = "/proc/self/mem";

TEST_F(ProgrammingRunTest, AnImageThatCannotBeReadIsRefusedWithTheSystemsText) {
#ifdef _WIN32
  GTEST_SKIP() << "a file of Linux, with Linux's text for the error";
#endif
  if (!std::filesystem::is_regular_file(kUnreadable)) GTEST_SKIP() << "no " << kUnreadable;
  dialogs.chosen_file = kUnreadable;
  form->BPicSourceClick();
  EXPECT_EQ(dialogs.messages, std::vector<std::string>{
                                  "The image " + std::string(kUnreadable) +
                                  " cannot be read: Input/output error.\nChoose another image."});
  EXPECT_FALSE(form->SourceFileChosen);
  EXPECT_TRUE(port.writes.empty());
}

// The run sends the image as it was when the run began: a file rewritten,
// cut short or grown meanwhile changes nothing, not even after the first few
// KiB that a stream's buffer would have hidden.
TEST_F(ProgrammingRunTest, AFileChangedDuringTheRunChangesNothingThatIsSent) {
  const auto bytes = CountingBytes(24 * 300);
  const std::string image = Image(bytes);
  Start(image);
  for (int block = 1; block < 20; ++block) Answer(4, kLoaderMode);
  testsupport::WriteBytes(image, std::vector<uint8_t>(24 * 100, 0xEE));
  while (form->SourceFileOpen) Answer(4, kLoaderMode);

  ASSERT_EQ(port.writes.size(), 300u);
  std::vector<uint8_t> received;
  for (const auto& record : port.writes) {
    const auto payload = PayloadOf(record);
    received.insert(received.end(), payload.begin(), payload.end());
  }
  EXPECT_EQ(received, bytes);
  EXPECT_TRUE(Logged("Programming Complete"));
}

}  // namespace
}  // namespace quarnel::testing
