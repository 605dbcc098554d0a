#include <gtest/gtest.h>

#include <regex>

#include "window_fixture.h"

namespace quarnel {
namespace {

using testing::ResponseRecord;
using testing::WindowTest;

std::vector<std::string> Tail(const std::vector<std::string>& lines, size_t n) {
  return {lines.end() - static_cast<std::ptrdiff_t>(std::min(n, lines.size())), lines.end()};
}

class ResponseHandling : public WindowTest {
 protected:
  // The capture loop runs: a command is out and Timer1 repeats it.
  void StartCapture() {
    form->LocateClick();
    ASSERT_TRUE(form->Timer1.Enabled());
  }
  // Whether Timer1 still drives the capture: one more command after 500 ms.
  bool CaptureStillRepeats() {
    const size_t before = port.writes.size();
    loop.AdvanceBy(500);
    return port.writes.size() > before;
  }
};

struct ReportedCode {
  uint8_t code;
  const char* text;
  bool stops_timer;
  friend void PrintTo(const ReportedCode& row, std::ostream* out) {
    *out << "code " << int{row.code};
  }
};

class ReportedCodes : public ResponseHandling,
                      public ::testing::WithParamInterface<ReportedCode> {};

TEST_P(ReportedCodes, ReportTextTargetInfoAndButtons) {
  const ReportedCode& row = GetParam();
  StartCapture();
  const size_t before = Status().size();
  Answer(row.code, 0x4010);

  EXPECT_EQ(form->LastResponseCode, row.code);
  EXPECT_EQ(form->TargetStatus, 0x4010);
  const std::vector<std::string> expected = {row.text,
                                             "Target ID:              1A2B",
                                             "Sequence #:             0001",
                                             "Target Status:          4010",
                                             "  in loader mode",
                                             "  finished programing current record",
                                             std::string(38, '_')};
  EXPECT_EQ(std::vector<std::string>(Status().begin() + static_cast<std::ptrdiff_t>(before),
                                     Status().end()),
            expected);
  EXPECT_TRUE(form->BErase.Enabled());  // the enabling rule ran with 0x4010
  EXPECT_TRUE(form->Locate.Enabled());
  EXPECT_FALSE(form->BStopCapture.Enabled());
  EXPECT_EQ(form->Timer1.Enabled(), !row.stops_timer);
  EXPECT_EQ(CaptureStillRepeats(), !row.stops_timer);
}

INSTANTIATE_TEST_SUITE_P(CodeTable, ReportedCodes,
                         ::testing::Values(ReportedCode{1, "Device in Transparent Mode", true},
                                           ReportedCode{2, "Device program space invalidated",
                                                        false},
                                           ReportedCode{3, "Device in Loader Mode", true},
                                           ReportedCode{6, "Device Erased", true},
                                           ReportedCode{7, "PGM Memory Only Erased", true},
                                           ReportedCode{8, "EEPROM Erased", true},
                                           ReportedCode{9, "Device Reset", true}));

TEST_F(ResponseHandling, CodesWithoutReportAreOnlyStored) {
  for (uint8_t code : {0, 5, 10, 0x63, 0xFF}) {
    StartCapture();
    const auto memo = Status();
    const bool erase_enabled = form->BErase.Enabled();
    Answer(code, 0x4000 | code);
    EXPECT_EQ(form->LastResponseCode, code);
    EXPECT_EQ(form->TargetStatus, 0x4000 | code);
    EXPECT_EQ(Status(), memo) << int{code};
    EXPECT_EQ(form->BErase.Enabled(), erase_enabled);  // no enabling rule
    EXPECT_TRUE(CaptureStillRepeats()) << int{code};
  }
}

TEST_F(ResponseHandling, BlockAcknowledgedOutsideARunOnlyStopsTheTimer) {
  StartCapture();
  const auto memo = Status();
  Answer(4, 0x4000);
  EXPECT_FALSE(form->Timer1.Enabled());
  EXPECT_FALSE(CaptureStillRepeats());
  EXPECT_EQ(Status(), memo);
  EXPECT_EQ(form->LastResponseCode, 4);
  EXPECT_EQ(form->TargetStatus, 0x4000);
}

TEST_F(ResponseHandling, BlockAcknowledgedWithAbortBitEndsTheRun) {
  StartCapture();
  Answer(4, 0x1000);
  EXPECT_EQ(Tail(Status(), 7)[0], "ERROR - System not in Loader Mode");
  EXPECT_EQ(Tail(Status(), 7)[1], "  Programming Aborted");
  EXPECT_EQ(Status().back(), std::string(38, '_'));
  EXPECT_EQ(form->LastResponseCode, 99);
  EXPECT_FALSE(CaptureStillRepeats());
}

TEST_F(ResponseHandling, DocumentedExampleRecord) {
  StartCapture();
  Receive("!00000001030000FC");  // exactly 17 characters, no line end
  EXPECT_EQ(Tail(Status(), 5),
            (std::vector<std::string>{"Device in Loader Mode", "Target ID:              0000",
                                      "Sequence #:             0001",
                                      "Target Status:          0000", std::string(38, '_')}));
  EXPECT_FALSE(form->BErase.Enabled());  // status 0: not in loader mode
}

TEST_F(ResponseHandling, LowerCaseRecordShownAsReceived) {
  StartCapture();
  // 1a+2b+00+01+03+c0+00 = 0x109: checksum 0xf7.
  Receive("!1a2b000103c000f7\r\n");
  EXPECT_EQ(Tail(Status(), 6), (std::vector<std::string>{
                                   "Target ID:              1a2b", "Sequence #:             0001",
                                   "Target Status:          c000", "  pending Reset vector",
                                   "  in loader mode", std::string(38, '_')}));
  EXPECT_EQ(form->TargetStatus, 0xC000);
}

TEST_F(ResponseHandling, AllStatusBitsAndNone) {
  StartCapture();
  Answer(9, 0xFFFF);
  const auto block = Tail(Status(), 19);
  EXPECT_EQ(block[0], "Target ID:              1A2B");
  EXPECT_EQ(block[3], "  Transparent Mode set");
  EXPECT_EQ(block[17], "  Error - missing Type 4 record");
  EXPECT_EQ(block[18], std::string(38, '_'));

  form->LocateClick();
  const size_t before = Status().size();
  Answer(9, 0x0001);
  EXPECT_EQ(Status().size() - before, 5u);  // text, three labelled lines, underline
}

// ---- failures ----

class ResponseFailures : public ResponseHandling {
 protected:
  // A failure changes nothing but the one line in the status display.
  void ExpectOnlyLogged(const std::string& text, const std::string& line) {
    StartCapture();
    form->TargetStatus = 0x4000;
    form->LastResponseCode = 77;
    const size_t before = Status().size();
    Receive(text);
    ASSERT_EQ(Status().size(), before + 1);
    EXPECT_EQ(Status().back(), line);
    EXPECT_EQ(form->TargetStatus, 0x4000);
    EXPECT_EQ(form->LastResponseCode, 77);
    EXPECT_TRUE(form->Timer1.Enabled());
    EXPECT_TRUE(CaptureStillRepeats());
  }
};

TEST_F(ResponseFailures, NotAResponseRecord) {
  ExpectOnlyLogged("hello\r\n", "Invalid Record Received ->hello\r\n");
}

TEST_F(ResponseFailures, TooShort) {
  ExpectOnlyLogged("!00000001030000F", "Response record too short --> !00000001030000F");
}

TEST_F(ResponseFailures, ChecksumErrorShowsWhatArrivedSince) {
  port.incoming.push_back("!00000001030000FD\r\n");
  port.incoming.push_back("late");
  StartCapture();
  const size_t before = Status().size();
  form->VaCommRxFlag();
  ASSERT_EQ(Status().size(), before + 1);
  EXPECT_EQ(Status().back(), "Response Record Checksum Error --> late");
  EXPECT_TRUE(port.incoming.empty());
  EXPECT_EQ(form->LastResponseCode, 0);
  EXPECT_TRUE(CaptureStillRepeats());
}

TEST_F(ResponseFailures, ChecksumErrorWithNothingMore) {
  ExpectOnlyLogged("!00000001030000FD\r\n", "Response Record Checksum Error --> ");
}

TEST_F(ResponseFailures, WrongSequence) {
  form->Link.SequenceNumber = 10;
  ExpectOnlyLogged(ResponseRecord(0x000A, 3, 0, 0), "Incorrect sequence: 000A, expected: 11");
}

TEST_F(ResponseFailures, StaleCaptureAnswerKeepsTheCaptureGoing) {
  StartCapture();
  const std::string first_answer = AnswerText(3, 0x4000);
  loop.AdvanceBy(500);  // the next capture command goes out
  ASSERT_EQ(form->Link.SequenceNumber, 2);
  Receive(first_answer);
  EXPECT_EQ(Status().back(), "Incorrect sequence: 0001, expected: 2");
  EXPECT_TRUE(CaptureStillRepeats());
  Answer(3, 0x4000);
  EXPECT_EQ(form->LastResponseCode, 3);
  EXPECT_FALSE(CaptureStillRepeats());
}

TEST_F(ResponseFailures, AnswerToResetDuringCaptureStopsTheCaptureToo) {
  StartCapture();
  form->BResetTargetClick();
  Answer(9, 0);
  EXPECT_EQ(form->LastResponseCode, 9);
  EXPECT_FALSE(CaptureStillRepeats());
}

// ---- the response display ----

TEST_F(ResponseHandling, FullLayoutLogsEachTextWithItsTime) {
  PressF12();
  StartCapture();
  const std::string two = AnswerText(3, 0x4000) + ResponseRecord(7, 6, 0, 0);
  Receive(two);
  ASSERT_EQ(form->DataResponse.LineCount(), 1);
  EXPECT_EQ(form->DataResponse.Lines()[0], "12:34:56 " + two);  // one stamp for both
  EXPECT_EQ(form->LastResponseCode, 3);                         // only the first decoded
  clock = "23:59:59";
  Receive("junk");
  EXPECT_EQ(form->DataResponse.Lines()[1], "23:59:59 junk");
}

TEST_F(ResponseHandling, GuidedLayoutWritesNoResponseDisplay) {
  StartCapture();
  Answer(3, 0x4000);
  Receive("junk");
  EXPECT_EQ(form->DataResponse.LineCount(), 0);
  EXPECT_EQ(form->LastResponseCode, 3);
  EXPECT_EQ(Status().back(), "Invalid Record Received ->junk");
  PressF12();
  EXPECT_EQ(form->DataResponse.LineCount(), 0);
}

TEST_F(ResponseHandling, EmptyTextIsLoggedThenIgnored) {
  PressF12();
  StartCapture();
  const auto memo = Status();
  form->VaCommRxFlag();  // nothing waiting
  EXPECT_EQ(form->ReceivedLength, 0);
  EXPECT_EQ(form->DataResponse.Lines(), std::vector<std::string>{"12:34:56 "});
  EXPECT_EQ(Status(), memo);
  EXPECT_TRUE(CaptureStillRepeats());
}

TEST_F(ResponseHandling, SystemClockStampWhenNoneGiven) {
  TForm1::Environment env;
  env.list_ports = [] { return std::vector<std::string>{}; };
  env.port = &port;
  form = std::make_unique<TForm1>(std::move(env));
  PressF12();
  Receive("x");
  ASSERT_EQ(form->DataResponse.LineCount(), 1);
  EXPECT_TRUE(std::regex_match(form->DataResponse.Lines()[0],
                               std::regex("([01][0-9]|2[0-3]):[0-5][0-9]:[0-5][0-9] x")))
      << form->DataResponse.Lines()[0];
}

TEST_F(ResponseHandling, HostileTextsAreReportedWithinBounds) {
  PressF12();
  StartCapture();
  const std::string nul_record("!\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0", 17);
  Receive(nul_record);
  EXPECT_EQ(Status().back(), "Response Record Checksum Error --> ");
  Receive(std::string("\0abc", 4));
  EXPECT_EQ(Status().back(), "Invalid Record Received ->" + std::string("\0abc", 4));
  Receive("!");
  EXPECT_EQ(Status().back(), "Response record too short --> !");

  std::string huge(64 * 1024, '\xFF');
  huge[0] = '!';
  Receive(huge);
  EXPECT_EQ(form->ReceivedLength, 64 * 1024);
  EXPECT_EQ(Status().back(), "Response Record Checksum Error --> ");
  // A valid record followed by 64 KiB of noise: only characters 0..16 count.
  Receive(AnswerText(3, 0x4000) + std::string(64 * 1024, '\x80'));
  EXPECT_EQ(form->LastResponseCode, 3);
  EXPECT_EQ(form->DataResponse.LineCount(), 5);
}

}  // namespace
}  // namespace quarnel
