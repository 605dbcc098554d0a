// Capture, stop capture, the erases and their time-out, reset and the hidden
// simulated capture, on a virtual clock with answers fed through the
// window's own reception path.
#include <gtest/gtest.h>

#include "window_fixture.h"

namespace quarnel::testing {
namespace {

using CaptureTest = WindowTest;

TEST_F(CaptureTest, RepeatsTheCaptureCommandEvery500msWithANewSequence) {
  form->LocateClick();
  ASSERT_EQ(port.writes, std::vector<std::string>{CommandRecord(1, 3)});
  EXPECT_TRUE(form->Timer1.Enabled());
  EXPECT_EQ(form->Timer1.Interval(), 500u);
  EXPECT_TRUE(form->BStopCapture.Enabled());

  loop.AdvanceBy(499);
  EXPECT_EQ(port.writes.size(), 1u);
  loop.AdvanceBy(1);
  loop.AdvanceBy(1000);
  EXPECT_EQ(port.writes, (std::vector<std::string>{CommandRecord(1, 3), CommandRecord(2, 3),
                                                   CommandRecord(3, 3), CommandRecord(4, 3)}));
}

TEST_F(CaptureTest, ASecondClickSendsAtOnceAndRestartsThePeriod) {
  form->LocateClick();
  loop.AdvanceBy(300);
  form->LocateClick();
  EXPECT_EQ(port.writes.size(), 2u);
  EXPECT_TRUE(form->BStopCapture.Enabled());

  loop.AdvanceBy(499);  // 799 ms: the first period would have ended at 500
  EXPECT_EQ(port.writes.size(), 2u);
  loop.AdvanceBy(1);
  EXPECT_EQ(port.writes.back(), CommandRecord(3, 3));
}

TEST_F(CaptureTest, LoaderModeAnswerEndsTheCaptureAndOpensTheTargetButtons) {
  form->LocateClick();
  loop.AdvanceBy(500);
  Answer(3, kLoaderMode);

  EXPECT_TRUE(Logged("Device in Loader Mode"));
  EXPECT_FALSE(form->Timer1.Enabled());
  loop.AdvanceBy(5000);
  EXPECT_EQ(port.writes.size(), 2u);
  EXPECT_TRUE(form->Locate.Enabled());
  EXPECT_FALSE(form->BStopCapture.Enabled());
  EXPECT_TRUE(form->BErase.Enabled());
  EXPECT_TRUE(form->BEraseEE.Enabled());
  EXPECT_TRUE(form->BErasePRG.Enabled());
}

TEST_F(CaptureTest, AnswersThatDoNotEndTheCaptureLeaveItRepeating) {
  form->LocateClick();
  Answer(2, 0);  // program space invalidated: reported only
  EXPECT_TRUE(Logged("Device program space invalidated"));
  loop.AdvanceBy(500);
  ASSERT_EQ(port.writes.size(), 2u);

  // The answer to the first command arrives after the second went out.
  const size_t mark = Mark();
  Receive(ResponseRecord(1, 3, kLoaderMode));
  EXPECT_EQ(LinesSince(mark), std::vector<std::string>{"Incorrect sequence: 0001, expected: 2"});
  loop.AdvanceBy(500);
  EXPECT_EQ(port.writes.size(), 3u);
}

TEST_F(CaptureTest, StopCaptureEndsTheRepetition) {
  form->LocateClick();
  form->Locate.SetEnabled(false);
  const size_t mark = Mark();
  form->BStopCaptureClick();

  EXPECT_EQ(LinesSince(mark), std::vector<std::string>{"Stop Capture"});
  EXPECT_FALSE(form->Timer1.Enabled());
  EXPECT_FALSE(form->BStopCapture.Enabled());
  EXPECT_TRUE(form->Locate.Enabled());
  loop.AdvanceBy(2000);
  EXPECT_EQ(port.writes.size(), 1u);
}

TEST_F(CaptureTest, WithThePortClosedTheCaptureRepeatsSilently) {
  port.open = false;
  const size_t mark = Mark();
  form->LocateClick();
  loop.AdvanceBy(1000);
  EXPECT_TRUE(port.writes.empty());
  EXPECT_EQ(form->Link.SequenceNumber, 3);  // numbered all the same
  EXPECT_TRUE(form->Timer1.Enabled());
  EXPECT_TRUE(LinesSince(mark).empty());
}

using EraseTest = WindowTest;

struct EraseCase {
  void (TForm1::*click)(tk::TObject*);
  uint8_t command;
  const char* line;
  uint8_t answer;
  const char* answer_line;
};

class EraseKindsTest : public WindowTest, public ::testing::WithParamInterface<EraseCase> {};

TEST_P(EraseKindsTest, SendsItsCommandLocksTheButtonsAndEndsWithItsAnswer) {
  const EraseCase& erase = GetParam();
  form->Button1Click();  // target buttons open, as after a capture
  const size_t mark = Mark();
  (form.get()->*erase.click)(nullptr);

  EXPECT_EQ(port.writes, std::vector<std::string>{CommandRecord(1, erase.command)});
  EXPECT_EQ(LinesSince(mark), std::vector<std::string>{erase.line});
  EXPECT_TRUE(form->Timer1.Enabled());
  EXPECT_EQ(form->Timer1.Interval(), 20000u);
  for (tk::TButton* button :
       {&form->Locate, &form->BPicProgram, &form->BErase, &form->BEraseEE, &form->BErasePRG}) {
    EXPECT_FALSE(button->Enabled()) << button->Caption();
  }

  loop.AdvanceBy(10000);
  Answer(erase.answer, kLoaderMode);
  EXPECT_TRUE(Logged(erase.answer_line));
  EXPECT_TRUE(form->BErase.Enabled());
  EXPECT_TRUE(form->Locate.Enabled());
  loop.AdvanceBy(20000);
  EXPECT_FALSE(Logged("ERROR - No response to ERASE command"));
}

INSTANTIATE_TEST_SUITE_P(
    AllThree, EraseKindsTest,
    ::testing::Values(EraseCase{&TForm1::BEraseClick, 6, "Erase Target", 6, "Device Erased"},
                      EraseCase{&TForm1::BEraseEEClick, 8, "Erase Data ", 8, "EEPROM Erased"},
                      EraseCase{&TForm1::BErasePRGClick, 7, "Erase Program", 7,
                                "PGM Memory Only Erased"}));

TEST_F(EraseTest, EraseDuringACaptureEndsTheCapture) {
  form->LocateClick();
  loop.AdvanceBy(200);
  form->BEraseClick();
  loop.AdvanceBy(19000);
  EXPECT_EQ(port.writes, (std::vector<std::string>{CommandRecord(1, 3), CommandRecord(2, 6)}));
}

TEST_F(EraseTest, NoAnswerIsReportedAtExactly20Seconds) {
  form->LocateClick();
  Answer(3, kLoaderMode);
  dialogs.chosen_file = Image(CountingBytes(24));
  form->BPicSourceClick();
  ASSERT_TRUE(form->BPicProgram.Enabled());

  form->BEraseClick();
  loop.AdvanceBy(19999);
  EXPECT_FALSE(Logged("ERROR - No response to ERASE command"));
  const size_t mark = Mark();
  loop.AdvanceBy(1);
  EXPECT_EQ(LinesSince(mark), std::vector<std::string>{"ERROR - No response to ERASE command"});

  // Nothing is known of the target any more, whatever it said before.
  EXPECT_TRUE(form->Locate.Enabled());
  EXPECT_FALSE(form->BStopCapture.Enabled());
  EXPECT_FALSE(form->BErase.Enabled());
  EXPECT_FALSE(form->BEraseEE.Enabled());
  EXPECT_FALSE(form->BErasePRG.Enabled());
  EXPECT_FALSE(form->BPicProgram.Enabled());
  EXPECT_EQ(form->TargetStatus, kLoaderMode);
  EXPECT_FALSE(form->Timer1.Enabled());
  EXPECT_EQ(form->LastResponseCode, 3);  // the guided flow is not running

  loop.AdvanceBy(60000);
  EXPECT_EQ(Mark(), mark + 1);
}

TEST_F(EraseTest, NoAnswerTellsTheGuidedFlowOnlyWhileItRuns) {
  form->LSCProgramTimer.SetEnabled(true);
  form->BEraseEEClick();
  loop.AdvanceBy(20000);
  EXPECT_EQ(form->LastResponseCode, 98);
}

TEST_F(EraseTest, WithThePortClosedTheEraseEndsWithItsTimeOut) {
  port.open = false;
  form->BErasePRGClick();
  loop.AdvanceBy(20000);
  EXPECT_TRUE(Logged("ERROR - No response to ERASE command"));
}

using ResetTest = WindowTest;

TEST_F(ResetTest, SendsTheResetHidesTheGaugeAndLeavesTimer1Alone) {
  form->Gauge1.Show();
  form->BEraseClick();
  loop.AdvanceBy(5000);
  const size_t mark = Mark();
  form->BResetTargetClick();

  EXPECT_EQ(port.writes.back(), CommandRecord(2, 9));
  EXPECT_FALSE(form->Gauge1.Visible());
  EXPECT_EQ(LinesSince(mark), std::vector<std::string>{"Reset Target"});
  // Still waiting for the erase: its time-out comes 20 s after the erase.
  loop.AdvanceBy(15000);
  EXPECT_TRUE(Logged("ERROR - No response to ERASE command"));
}

TEST_F(ResetTest, AnAnswerBeforeTheNextCaptureTickEndsTheCapture) {
  form->LocateClick();
  form->BResetTargetClick();
  loop.AdvanceBy(100);
  Answer(9, 0);
  EXPECT_TRUE(Logged("Device Reset"));
  loop.AdvanceBy(2000);
  EXPECT_EQ(port.writes.size(), 2u);
}

TEST_F(ResetTest, AnAnswerAfterTheNextCaptureTickFailsTheSequenceCheck) {
  form->LocateClick();
  form->BResetTargetClick();
  loop.AdvanceBy(500);  // capture command 3 goes out
  const size_t mark = Mark();
  Receive(ResponseRecord(2, 9, 0));
  EXPECT_EQ(LinesSince(mark), std::vector<std::string>{"Incorrect sequence: 0002, expected: 3"});
  loop.AdvanceBy(500);
  EXPECT_EQ(port.writes.size(), 4u);
}

using SimulatedCaptureTest = WindowTest;

TEST_F(SimulatedCaptureTest, ActsAsALoaderModeAnswerWithoutSendingAnything) {
  form->LocateClick();
  form->Button1Click();

  EXPECT_FALSE(form->Timer1.Enabled());
  EXPECT_FALSE(form->BStopCapture.Enabled());
  EXPECT_TRUE(form->Locate.Enabled());
  EXPECT_TRUE(form->BErase.Enabled());
  EXPECT_TRUE(form->BEraseEE.Enabled());
  EXPECT_TRUE(form->BErasePRG.Enabled());
  EXPECT_FALSE(form->BPicProgram.Enabled());  // no file chosen
  EXPECT_EQ(form->TargetStatus, 0);
  loop.AdvanceBy(2000);
  EXPECT_EQ(port.writes.size(), 1u);
  EXPECT_FALSE(form->Button1.Visible());
}

}  // namespace
}  // namespace quarnel::testing
