// How the guided sequence ends, as the operator meets it: the image checked
// before anything is erased, a cancelled dialog that sends nothing, a port
// that vanishes, a capture given up, and at every ending a way on and a
// result line that says how it ended (and, while it runs, what it waits
// for). Front ends follow the same sequence through typed state. Virtual time; Connect opens a
// pseudo-terminal, the records go to the fake link port unless a test uses the window's own port.
#include <gtest/gtest.h>

#include <filesystem>

#include "comm/VaComm.h"
#include "platform/pseudo_terminal.h"
#include "window_fixture.h"

namespace quarnel::testing {
namespace {

constexpr int kTick = 1500;  // the guided timer
constexpr tk::TColor kGreen = 0x007000;
constexpr tk::TColor kRed = 0x0000C0;

class GuidedEndings : public WindowTest {
 protected:
  GuidedEndings() : image(Image(CountingBytes(48))) { Recreate(); }

  void Recreate(bool own_port = false, ImageSnapshotPtr checked_image = nullptr,
                std::vector<std::string> allowed_target_ids = {}) {
    form.reset();
    outcomes.clear();
    phases.clear();
    progress.clear();
    status_lines.clear();
    TForm1::Environment environment = Environment();
    if (own_port) environment.port = nullptr;
    environment.list_ports = [this] { return std::vector<std::string>{pty.SlavePath()}; };
    environment.on_outcome = [this](const SequenceOutcome& o) { outcomes.push_back(o); };
    environment.on_phase = [this](SequencePhase phase) { phases.push_back(phase); };
    environment.on_progress = [this](const RunProgress& p) { progress.push_back(p); };
    environment.on_status_line = [this](const std::string& line) { status_lines.push_back(line); };
    environment.image = std::move(checked_image);
    environment.allowed_target_ids = std::move(allowed_target_ids);
    form = std::make_unique<TForm1>(std::move(environment));
  }

  // Steps 2 and 3 of the guided panel: Choose Comport, the pick, Connect/Program device.
  void ChooseAndConnect(const std::string& chosen_image) {
    dialogs.chosen_file = chosen_image;
    form->ButChooseCC.Click();
    form->CCommPort.Pick(0);
    tk::RunGuarded([this] { form->ButConnectProgram.Click(); });
  }

  // The target answers each step of the chain until the run starts.
  void ThroughTheErases() {
    Answer(3, kLoaderMode);
    for (uint8_t code : {6, 8, 7}) {
      loop.AdvanceBy(kTick);
      Answer(code, kLoaderMode);
    }
    loop.AdvanceBy(kTick);
  }

  // What an operator finds at the end of a sequence: the port closed, Choose
  // Comport and the port list usable, and the result line in its colour.
  void ExpectAWayOn(const std::string& result, tk::TColor colour) {
    EXPECT_EQ(form->connect.Caption(), "Connect");
    EXPECT_FALSE(form->Timer1.Enabled());
    EXPECT_FALSE(form->LSCProgramTimer.Enabled());
    EXPECT_TRUE(form->ButChooseCC.Enabled());
    EXPECT_TRUE(form->CCommPort.Enabled());
    EXPECT_TRUE(form->LabResult.Showing());
    EXPECT_EQ(form->LabResult.Caption(), result);
    EXPECT_EQ(form->LabResult.Font().color, colour);
    // From here the operator starts again without a restart.
    form->ButChooseCC.Click();
    form->CCommPort.Pick(0);
    EXPECT_TRUE(form->ButConnectProgram.Enabled());
  }

  SequenceEnding Ending() const { return outcomes.at(0).ending; }

  // The capture commands written since `mark` (writes of the fake port).
  size_t CapturesSince(size_t mark) const {
    size_t captures = 0;
    for (size_t i = mark; i < port.writes.size(); ++i) {
      if (port.writes[i].size() > 8 && HexToInt(port.writes[i].substr(7, 2)) == 3) ++captures;
    }
    return captures;
  }

  platform::PseudoTerminal pty;
  std::string image;
  std::vector<SequenceOutcome> outcomes;
  std::vector<SequencePhase> phases;
  std::vector<RunProgress> progress;
  std::vector<std::string> status_lines;
};

TEST_F(GuidedEndings, AProgrammedUnitEndsGreenAndTheNextConnectClearsTheLine) {
  ChooseAndConnect(image);
  ThroughTheErases();
  while (form->SourceFileOpen) Answer(4, kLoaderMode);
  // The chain still resets the target and closes the port: a new pick of a
  // port must not cut it short.
  EXPECT_FALSE(form->ButChooseCC.Enabled());
  loop.AdvanceBy(kTick);
  EXPECT_FALSE(form->ButChooseCC.Enabled());
  Answer(9, 0x0000);
  loop.AdvanceBy(kTick);

  ASSERT_EQ(outcomes.size(), 1u);
  EXPECT_EQ(Ending(), SequenceEnding::kProgrammed);
  ExpectAWayOn("Unit programmed — 48 bytes, target 1A2B", kGreen);
  EXPECT_EQ(form->LabResult.Caption(), "") << "the next unit has begun";
}

TEST_F(GuidedEndings, ANeverAnsweredDataRecordEndsRedWithWhatToDo) {
  ChooseAndConnect(image);
  ThroughTheErases();
  loop.AdvanceBy(20000 + kTick);
  ASSERT_EQ(outcomes.size(), 1u);
  EXPECT_EQ(Ending(), SequenceEnding::kNoAnswerToDataRecord);
  ExpectAWayOn("NOT programmed: no answer to a data record — switch the unit off and start again",
               kRed);
}

TEST_F(GuidedEndings, AnUnansweredEraseEndsRedWithWhatToDo) {
  ChooseAndConnect(image);
  Answer(3, kLoaderMode);
  loop.AdvanceBy(kTick + 20000 + kTick);
  ASSERT_EQ(outcomes.size(), 1u);
  ExpectAWayOn(
      "NOT programmed: no answer to an erase command — switch the unit off and start again", kRed);
}

// A port that cannot be opened may be a wrong or busy one: the operator can
// choose another without restarting.
TEST_F(GuidedEndings, APortThatCannotBeOpenedLeavesThePortListUsable) {
  dialogs.chosen_file = image;
  form->ButChooseCC.Click();
  form->CCommPort.SetText("/dev/quarnel-no-such-port");
  form->CCommPortClick(&form->CCommPort);
  tk::RunGuarded([this] { form->ButConnectProgram.Click(); });
  ASSERT_EQ(outcomes.size(), 1u);
  EXPECT_EQ(Ending(), SequenceEnding::kPortNotOpened);
  EXPECT_TRUE(form->ButConnectProgram.Enabled()) << "for another try";
  ExpectAWayOn("NOT programmed: the port could not be opened — choose the port again", kRed);
}

// A missing or empty image is found when it is chosen: nothing is sent, the
// port is closed again and the operator chooses another image.
TEST_F(GuidedEndings, AnImageRefusedWhenChosenSendsNothingAndClosesThePort) {
  const std::string empty = Image({}, "empty.cry");
  ChooseAndConnect(empty);

  EXPECT_EQ(dialogs.messages, std::vector<std::string>{"The image " + empty +
                                                       " is empty.\nThe unit was not programmed "
                                                       "and the port was closed: choose the "
                                                       "image, then start again."});
  EXPECT_TRUE(port.writes.empty());
  EXPECT_FALSE(form->VaComm->Active());
  ASSERT_EQ(outcomes.size(), 1u);
  EXPECT_EQ(Ending(), SequenceEnding::kImageRefused);
  EXPECT_EQ(outcomes[0].message, "is empty");
  loop.AdvanceBy(10000);
  EXPECT_TRUE(port.writes.empty());
  EXPECT_TRUE(form->ButConnectProgram.Enabled()) << "to choose the image again";

  dialogs.chosen_file = image;
  form->ButConnectProgram.Click();
  EXPECT_TRUE(form->VaComm->Active());
  EXPECT_EQ(port.writes.size(), 1u) << "the capture";
}

// The image is read once more, whole, when the target has answered the
// capture and before the first erase: an image gone meanwhile stops the
// chain with the unit as it was.
TEST_F(GuidedEndings, AnImageGoneBeforeTheFirstEraseStopsTheChainBeforeAnyErase) {
  ChooseAndConnect(image);
  std::filesystem::remove(image);
  Answer(3, kLoaderMode);
  loop.AdvanceBy(kTick);

  for (const std::string& record : port.writes) EXPECT_EQ(record.substr(7, 2), "03") << record;
  EXPECT_FALSE(Logged("Erase Target"));
  EXPECT_EQ(dialogs.messages.size(), 1u);
  EXPECT_NE(dialogs.messages.at(0).find(image + " not found"), std::string::npos);
  EXPECT_FALSE(form->VaComm->Active());
  ASSERT_EQ(outcomes.size(), 1u);
  EXPECT_EQ(Ending(), SequenceEnding::kImageRefused);
  ExpectAWayOn("NOT programmed: image image.cry not found — choose the image again", kRed);
  loop.AdvanceBy(30000);
  EXPECT_FALSE(Logged("Erase Target"));
}

// Cancelling the file dialog ends the program; nothing may go out first.
TEST_F(GuidedEndings, CancellingTheFileDialogSendsNothing) {
  ChooseAndConnect("");
  EXPECT_TRUE(form->Closed());
  loop.AdvanceBy(5000);
  EXPECT_TRUE(port.writes.empty());
  EXPECT_FALSE(form->Timer1.Enabled());
  EXPECT_FALSE(form->LSCProgramTimer.Enabled());
}

// The adapter is unplugged while the capture waits for the unit: one message
// that names the port, the port closed, nothing left writing, and no box
// stacked on a box while the first is still open.
TEST_F(GuidedEndings, AnUnpluggedAdapterEndsTheSequenceOnceWithOneMessage) {
  Recreate(/*own_port=*/true);
  ChooseAndConnect(image);
  ASSERT_TRUE(form->VaComm->Active());
  loop.AdvanceBy(1000);
  // Each message box stays open for 100 s of timers (at most a few deep).
  dialogs.while_message_open = [this] {
    if (dialogs.messages.size() < 4) loop.AdvanceBy(100000);
  };
  pty.CloseMaster();
  for (int i = 0; i < 100 && form->SequenceUnderWay(); ++i) {
    loop.RunUntil([this] { return !form->SequenceUnderWay(); }, 50);
    loop.AdvanceBy(500);
  }

  ASSERT_EQ(dialogs.messages.size(), 1u) << ::testing::PrintToString(dialogs.messages);
  EXPECT_EQ(dialogs.messages[0], "The port " + pty.SlavePath() +
                                     " is gone: the adapter may have been unplugged.\nThe port "
                                     "was closed. Plug the adapter in again, then choose the "
                                     "port and start again.");
  ASSERT_EQ(outcomes.size(), 1u);
  EXPECT_EQ(Ending(), SequenceEnding::kPortLost);
  EXPECT_FALSE(form->VaComm->Active());
  EXPECT_EQ(Status().back(), "Comm Port Closed");
  ExpectAWayOn("NOT programmed: port " +
                   std::filesystem::path(pty.SlavePath()).filename().string() +
                   " is gone — plug the adapter in, then choose the port and start again",
               kRed);
  loop.AdvanceBy(60000);
  EXPECT_EQ(dialogs.messages.size(), 1u);
}

// The result line stands in the guided panel's free space below step 4,
// wide enough for its text in two lines, and moves nothing that was there.
TEST_F(GuidedEndings, TheResultLineStandsBetweenStepFourAndTheGauge) {
  const tk::TLabel& line = form->LabResult;
  EXPECT_EQ(line.Parent(), &form->Panel_user);
  EXPECT_TRUE(line.WordWrap());
  EXPECT_GE(line.Top(), form->LabPowerOn.Top() + form->LabPowerOn.Height());
  EXPECT_LE(line.Top() + line.Height(), form->Gauge1.Top());
  EXPECT_EQ(line.Left(), form->LabPowerOn.Left());
  EXPECT_EQ(line.Width(), form->LabPowerOn.Width());
  EXPECT_EQ(line.Caption(), "");
  PressF12();
  EXPECT_FALSE(line.Showing());
  PressF12();
  EXPECT_TRUE(line.Showing());
}

// A wrong port (the machine's own first serial port, say) never answers: the
// operator is not stuck there. Choose Comport stays usable while the capture
// waits, and pressing it stops the capture and closes the port.
TEST_F(GuidedEndings, ChooseComportGivesUpAWaitingCaptureAndOpensTheList) {
  ChooseAndConnect(image);
  EXPECT_TRUE(form->ButChooseCC.Enabled());
  EXPECT_FALSE(form->ButConnectProgram.Enabled());
  loop.AdvanceBy(5000);
  form->ButChooseCC.Click();

  ASSERT_EQ(outcomes.size(), 1u);
  EXPECT_EQ(Ending(), SequenceEnding::kStoppedByOperator);
  EXPECT_EQ(form->connect.Caption(), "Connect");
  EXPECT_EQ(Status().back(), "Comm Port Closed");
  EXPECT_EQ(form->LabResult.Caption(), "Stopped — the unit is NOT programmed");
  EXPECT_TRUE(form->CCommPort.DroppedDown());
  EXPECT_TRUE(form->CCommPort.Enabled());
  // Nothing more goes out on the port given up.
  const size_t mark = port.writes.size();
  loop.AdvanceBy(10000);
  EXPECT_EQ(port.writes.size(), mark);
  // The next pick starts again as usual.
  form->CCommPort.Pick(0);
  EXPECT_TRUE(form->ButConnectProgram.Enabled());
}

// Once the unit answered, the chain must not be cut short by a new pick.
TEST_F(GuidedEndings, ChooseComportIsOffFromTheCapturesAnswerToTheEnd) {
  ChooseAndConnect(image);
  Answer(3, kLoaderMode);
  EXPECT_FALSE(form->ButChooseCC.Enabled());
  loop.AdvanceBy(kTick);
  EXPECT_FALSE(form->ButChooseCC.Enabled());
}

TEST_F(GuidedEndings, ACaptureWithoutAnyAnswerSaysWhatToCheckAfterThirtySeconds) {
  ChooseAndConnect(image);
  loop.AdvanceBy(29000);
  EXPECT_EQ(form->LabResult.Caption(), "");
  loop.AdvanceBy(1000);
  EXPECT_EQ(form->LabResult.Caption(),
            "No answer from the port yet: is the unit on this port and powered?");
  // Words, not a verdict: in the text's own colour.
  EXPECT_EQ(form->LabResult.Font().color, tk::clWindowText);
  EXPECT_GT(CapturesSince(0), 50u) << "the capture goes on as it always does";
  // The unit answers: the hint goes.
  Answer(3, kLoaderMode);
  EXPECT_EQ(form->LabResult.Caption(), "");
}

TEST_F(GuidedEndings, LinesThatAreNoAnswersPointAtTheWiringInstead) {
  ChooseAndConnect(image);
  Receive("garbage at the wrong speed\r\n");
  loop.AdvanceBy(30000);
  EXPECT_EQ(form->LabResult.Caption(),
            "Lines arrive from the port, but none is an answer: check the wiring and the line "
            "speed");
}

// While a block is sent again and again the gauge stands still: the result
// line's place says that the run goes on, until the answer comes.
TEST_F(GuidedEndings, RetransmissionsOfABlockAreShownUntilItsAnswerComes) {
  ChooseAndConnect(image);
  ThroughTheErases();
  Answer(4, kLoaderMode);  // block 1
  ASSERT_EQ(form->BlocksSent, 2);
  loop.AdvanceBy(2000);
  EXPECT_EQ(form->LabResult.Caption(), "No answer to block 2 — sending it again (2 of 10)");
  loop.AdvanceBy(2000);
  EXPECT_EQ(form->LabResult.Caption(), "No answer to block 2 — sending it again (3 of 10)");
  Answer(4, kLoaderMode);
  EXPECT_EQ(form->LabResult.Caption(), "");
  EXPECT_EQ(outcomes.size(), 0u);
}

TEST_F(GuidedEndings, TheLastSendingsEndIsTheFailuresLineNotARetransmissions) {
  ChooseAndConnect(image);
  ThroughTheErases();
  loop.AdvanceBy(18000);
  EXPECT_EQ(form->LabResult.Caption(), "No answer to block 1 — sending it again (10 of 10)");
  loop.AdvanceBy(2000 + kTick);
  ASSERT_EQ(outcomes.size(), 1u);
  EXPECT_EQ(form->LabResult.Caption(),
            "NOT programmed: no answer to a data record — switch the unit off and start again");
}

// A front end follows the sequence through typed state: the phases in order,
// each block, every status line as it is written, the port's state.
TEST_F(GuidedEndings, FrontEndsFollowPhasesBlocksAndLinesWithoutReadingControls) {
  EXPECT_EQ(form->Phase(), SequencePhase::kOpening);
  EXPECT_EQ(status_lines, form->Memo1.Lines()) << "Program Ready, while the window was made";
  ChooseAndConnect(image);
  EXPECT_TRUE(form->PortOpen());
  ThroughTheErases();
  while (form->SourceFileOpen) Answer(4, kLoaderMode);
  loop.AdvanceBy(kTick);
  Answer(9, 0x0000);
  loop.AdvanceBy(kTick);
  ASSERT_EQ(outcomes.size(), 1u);
  EXPECT_FALSE(form->PortOpen());
  EXPECT_EQ(phases, (std::vector<SequencePhase>{SequencePhase::kCapture, SequencePhase::kErase,
                                                SequencePhase::kProgram, SequencePhase::kReset,
                                                SequencePhase::kEnded}));
  // 48 bytes: two blocks, each told once, with what the run sends.
  ASSERT_EQ(progress.size(), 2u);
  EXPECT_EQ(progress[0].blocks_sent, 1);
  EXPECT_EQ(progress[1].blocks_sent, 2);
  EXPECT_EQ(progress[1].blocks_total, 2);
  EXPECT_EQ(progress[1].image_size, 48u);
  EXPECT_EQ(status_lines, form->Memo1.Lines());
}

// The image a front end has read is the one the unit gets: the file is not
// read again, so what was checked is what is programmed.
TEST_F(GuidedEndings, TheFrontEndsSnapshotIsProgrammedAndTheFileNotReadAgain) {
  const std::vector<uint8_t> checked = CountingBytes(24);
  Recreate(false, ImageSnapshot::FromBytes(image, checked));
  std::filesystem::remove(image);  // a file read now would be refused
  ChooseAndConnect(image);
  ThroughTheErases();
  ASSERT_TRUE(form->SourceFileOpen);
  EXPECT_EQ(testing::PayloadOf(port.writes.back()), checked);
  Answer(4, kLoaderMode);
  loop.AdvanceBy(kTick);
  Answer(9, 0x0000);
  loop.AdvanceBy(kTick);
  ASSERT_EQ(outcomes.size(), 1u);
  EXPECT_EQ(Ending(), SequenceEnding::kProgrammed);
  EXPECT_EQ(outcomes[0].image_size, 24u);
}

// A unit that is not one of those allowed is never erased: it is reset out
// of its loader as it was, and the port closes.
TEST_F(GuidedEndings, AUnitNotAllowedIsResetUntouchedAndEndsAsWrongTarget) {
  Recreate(false, nullptr, {"00C7", "0001"});
  ChooseAndConnect(image);
  Answer(3, kLoaderMode);  // target 1A2B
  const size_t mark = port.writes.size();
  loop.AdvanceBy(kTick);
  ASSERT_EQ(port.writes.size(), mark + 1);
  EXPECT_EQ(HexToInt(port.writes.back().substr(7, 2)), 9) << "the reset, and no erase";
  Answer(9, 0x0000);
  loop.AdvanceBy(kTick);
  ASSERT_EQ(outcomes.size(), 1u);
  EXPECT_EQ(Ending(), SequenceEnding::kWrongTarget);
  EXPECT_EQ(outcomes[0].target_id, "1A2B");
  EXPECT_EQ(outcomes[0].message, "not one of those allowed (00C7, 0001)");
  EXPECT_EQ(port.writes.size(), mark + 1);
  ExpectAWayOn("NOT programmed: wrong target 1A2B — the unit was reset and not erased", kRed);
}

TEST_F(GuidedEndings, AnAllowedUnitIsProgrammedWhateverTheCaseOfItsId) {
  Recreate(false, nullptr, {"1a2b"});
  ChooseAndConnect(image);
  ThroughTheErases();
  EXPECT_TRUE(form->SourceFileOpen);
}

// A unit swapped while it was programmed answers with another target ID:
// the run must not go on to report the new unit programmed.
TEST_F(GuidedEndings, AnAnswerFromAnotherUnitEndsTheRunAsFailed) {
  ChooseAndConnect(image);
  ThroughTheErases();
  ASSERT_TRUE(form->SourceFileOpen);
  const size_t mark = port.writes.size();
  Receive(ResponseRecord(form->Link.SequenceNumber, 4, kLoaderMode, 0x00C7));
  ASSERT_EQ(outcomes.size(), 1u);
  EXPECT_EQ(Ending(), SequenceEnding::kFailed);
  EXPECT_EQ(outcomes[0].message, "the unit changed during programming (target 1A2B, then 00C7)");
  EXPECT_EQ(port.writes.size(), mark) << "no further block";
  EXPECT_EQ(form->connect.Caption(), "Connect");
}

}  // namespace
}  // namespace quarnel::testing
