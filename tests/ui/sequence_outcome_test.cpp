// How a sequence ends, as the window raises it: once per sequence, at the
// point where the window's own behaviour ends it, with its details; and the
// limits a front end may add. On a virtual clock: Connect opens a
// pseudo-terminal, the records go to the fake link port and the answers come
// through the window's own reception path.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "platform/pseudo_terminal.h"
#include "window_fixture.h"

namespace quarnel::testing {
namespace {

constexpr int kTick = 1500;  // the guided timer

SequenceLimits WithLimit(std::optional<uint32_t> SequenceLimits::*limit, uint32_t ms) {
  SequenceLimits limits;
  limits.*limit = ms;
  return limits;
}

class SequenceOutcomeTest : public WindowTest {
 protected:
  SequenceOutcomeTest() { Recreate({}); }

  // A window with `limits`, its outcomes recorded with the status line that
  // was last when each was raised, and the time each status line was first
  // written.
  void Recreate(const SequenceLimits& limits) {
    form.reset();
    outcomes.clear();
    logged_at.clear();
    TForm1::Environment environment = Environment();
    environment.limits = limits;
    environment.on_outcome = [this](const SequenceOutcome& outcome) {
      outcomes.push_back(outcome);
      last_line_at_outcome = form->Memo1.Lines().back();
    };
    form = std::make_unique<TForm1>(std::move(environment));
    form->Memo1.AddObserver([this](tk::TControl& control, tk::Change change) {
      if (change != tk::Change::LineAdded) return;
      logged_at.emplace(static_cast<tk::TMemo&>(control).Lines().back(), loop.NowMs());
    });
  }

  void Connect(const std::vector<uint8_t>& image_bytes = CountingBytes(48)) {
    image = Image(image_bytes);
    dialogs.chosen_file = image;
    form->CCommPort.SetText(pty.SlavePath());
    form->connect.Click();
    ASSERT_EQ(form->connect.Caption(), "Disconnect");
    connected_at = loop.NowMs();
  }
  // Captured and erased by the guided chain; the next tick starts programming.
  void ThroughTheErases() {
    Answer(3, kLoaderMode);
    for (uint8_t code : {6, 8, 7}) {
      loop.AdvanceBy(kTick);
      Answer(code, kLoaderMode);
    }
    loop.AdvanceBy(kTick);
  }
  void AcknowledgeEveryBlock(uint16_t status = kLoaderMode | 0x0010) {
    while (form->SourceFileOpen) Answer(4, status);
  }
  SequenceEnding Ending() const { return outcomes.at(0).ending; }

  platform::PseudoTerminal pty;
  std::string image;
  std::vector<SequenceOutcome> outcomes;
  std::string last_line_at_outcome;
  std::map<std::string, int64_t> logged_at;  // each line's first time
  int64_t connected_at = 0;
};

TEST_F(SequenceOutcomeTest, TheGuidedChainEndsProgrammedWhenItClosesThePortAfterTheReset) {
  Connect(CountingBytes(50));
  loop.AdvanceBy(1000);  // two capture commands unanswered
  ThroughTheErases();
  AcknowledgeEveryBlock();
  loop.AdvanceBy(kTick);
  EXPECT_EQ(form->Memo1.Lines().back(), "Reset Target");
  Answer(9, 0x0000);
  EXPECT_TRUE(outcomes.empty()) << "the chain has not ended before it closes the port";
  loop.AdvanceBy(kTick);

  ASSERT_EQ(outcomes.size(), 1u);
  const SequenceOutcome& outcome = outcomes[0];
  EXPECT_EQ(outcome.ending, SequenceEnding::kProgrammed);
  EXPECT_EQ(last_line_at_outcome, "Comm Port Closed");
  EXPECT_EQ(outcome.target_id, "1A2B");
  EXPECT_EQ(outcome.status, 0x0000);
  EXPECT_TRUE(outcome.reset_answered);
  EXPECT_EQ(outcome.blocks_sent, 3);
  EXPECT_EQ(outcome.blocks_total, 3);
  EXPECT_EQ(outcome.image_size, 50u);
  EXPECT_EQ(outcome.retransmissions, 0);
  EXPECT_EQ(outcome.answers_accepted, 8);
  EXPECT_EQ(outcome.elapsed_ms, logged_at["Comm Port Closed"] - connected_at);
  EXPECT_FALSE(form->SequenceUnderWay());
  ASSERT_TRUE(form->LastOutcome());
  EXPECT_EQ(form->LastOutcome()->ending, SequenceEnding::kProgrammed);
}

TEST_F(SequenceOutcomeTest, AnAbortIsReportedWithTheStatusThatCausedItOnceTheTargetIsReset) {
  Connect(CountingBytes(100));
  ThroughTheErases();
  Answer(4, kLoaderMode);
  Answer(4, kLoaderMode | 0x0840);
  loop.AdvanceBy(kTick);
  Answer(9, 0x0000);
  loop.AdvanceBy(kTick);

  ASSERT_EQ(outcomes.size(), 1u);
  EXPECT_EQ(Ending(), SequenceEnding::kAbortedByTarget);
  EXPECT_EQ(outcomes[0].status, kLoaderMode | 0x0840);
  EXPECT_TRUE(outcomes[0].reset_answered);
  EXPECT_EQ(outcomes[0].blocks_sent, 2);
  EXPECT_EQ(outcomes[0].blocks_total, 5);
}

TEST_F(SequenceOutcomeTest, AnUnansweredEraseEndsAtTheDisconnectThatFollows) {
  Connect();
  Answer(3, kLoaderMode);
  loop.AdvanceBy(kTick);
  ASSERT_TRUE(Logged("Erase Target"));
  loop.AdvanceBy(20000);
  ASSERT_TRUE(Logged("ERROR - No response to ERASE command"));
  loop.AdvanceBy(kTick);

  ASSERT_EQ(outcomes.size(), 1u);
  EXPECT_EQ(Ending(), SequenceEnding::kNoAnswerToErase);
  EXPECT_EQ(last_line_at_outcome, "Comm Port Closed");
  EXPECT_EQ(outcomes[0].blocks_sent, 0);
  EXPECT_EQ(outcomes[0].image_size, 48u) << "read before the first erase";
}

// The retransmissions get their chance: the sequence ends only once the run
// has given up, at the guided timer's tick after the tenth expiry.
TEST_F(SequenceOutcomeTest, AnUnansweredDataRecordEndsAfterItsLastRetransmission) {
  Connect(CountingBytes(240));
  ThroughTheErases();
  Answer(4, kLoaderMode);
  const int64_t second_block_sent = loop.NowMs();
  loop.AdvanceBy(19999);
  EXPECT_TRUE(outcomes.empty());
  EXPECT_FALSE(Logged("FAILED - Comms Timeout Error"));
  loop.AdvanceBy(1 + kTick);

  ASSERT_EQ(outcomes.size(), 1u);
  EXPECT_EQ(Ending(), SequenceEnding::kNoAnswerToDataRecord);
  EXPECT_EQ(last_line_at_outcome, "Comm Port Closed");
  EXPECT_GE(logged_at.at("FAILED - Comms Timeout Error"), second_block_sent + 20000);
  EXPECT_EQ(outcomes[0].blocks_sent, 2);
  EXPECT_EQ(outcomes[0].blocks_total, 10);
  EXPECT_EQ(outcomes[0].retransmissions, 9);
}

TEST_F(SequenceOutcomeTest, WithoutTheGuidedTimerTheTimeOutsEndTheSequenceThemselves) {
  Connect(CountingBytes(48));
  form->LSCProgramTimer.SetEnabled(false);  // the operator starts each step
  Answer(3, kLoaderMode);
  form->BPicProgramClick();
  loop.AdvanceBy(19999);
  EXPECT_TRUE(outcomes.empty());
  loop.AdvanceBy(1);
  ASSERT_EQ(outcomes.size(), 1u);
  EXPECT_EQ(Ending(), SequenceEnding::kNoAnswerToDataRecord);
  EXPECT_EQ(outcomes[0].retransmissions, 9);
  EXPECT_EQ(last_line_at_outcome, "FAILED - Comms Timeout Error");

  Recreate({});
  Connect();
  form->LSCProgramTimer.SetEnabled(false);
  form->BEraseClick();
  loop.AdvanceBy(20000);
  ASSERT_EQ(outcomes.size(), 1u);
  EXPECT_EQ(Ending(), SequenceEnding::kNoAnswerToErase);
}

TEST_F(SequenceOutcomeTest, AMissingOrEmptyImageIsRefusedBeforeTheFirstErase) {
  for (const bool gone : {true, false}) {
    Recreate({});
    Connect();
    if (gone) {
      std::filesystem::remove(image);
    } else {
      testsupport::WriteBytes(image, {});
    }
    Answer(3, kLoaderMode);
    loop.AdvanceBy(kTick);
    ASSERT_EQ(outcomes.size(), 1u);
    EXPECT_EQ(Ending(), SequenceEnding::kImageRefused);
    EXPECT_EQ(outcomes[0].image_path, image);
    EXPECT_EQ(outcomes[0].message, gone ? "not found" : "is empty");
    EXPECT_FALSE(outcomes[0].image_size);
    EXPECT_FALSE(Logged("Erase Target"));
  }
}

TEST_F(SequenceOutcomeTest, AResetAnsweredBeforeAnyRunIsNoSuccess) {
  Connect();
  Answer(3, kLoaderMode);
  form->BResetTargetClick();
  Answer(9, 0x0000);
  loop.AdvanceBy(kTick);
  ASSERT_EQ(outcomes.size(), 1u);
  EXPECT_EQ(Ending(), SequenceEnding::kResetBeforeProgramming);
}

TEST_F(SequenceOutcomeTest, TheOperatorStopsItByDisconnectingOrClosingTheWindow) {
  Connect();
  form->connect.Click();
  ASSERT_EQ(outcomes.size(), 1u);
  EXPECT_EQ(Ending(), SequenceEnding::kStoppedByOperator);
  form->connect.Click();  // connected again: a new sequence, a new ending
  EXPECT_FALSE(form->LastOutcome());
  form->connect.Click();
  EXPECT_EQ(outcomes.size(), 2u);

  Recreate({});
  dialogs.chosen_file.clear();  // the file dialog is cancelled: the window closes
  form->CCommPort.SetText(pty.SlavePath());
  form->connect.Click();
  ASSERT_TRUE(form->Closed());
  ASSERT_EQ(outcomes.size(), 1u);
  EXPECT_EQ(Ending(), SequenceEnding::kStoppedByOperator);
}

TEST_F(SequenceOutcomeTest, APortThatCannotBeOpenedEndsTheSequenceWithTheErrorsText) {
  form->CCommPort.SetText("/dev/quarnel-no-such-port");
  tk::RunGuarded([this] { form->connect.Click(); });
  ASSERT_EQ(outcomes.size(), 1u);
  EXPECT_EQ(Ending(), SequenceEnding::kPortNotOpened);
  EXPECT_EQ(dialogs.messages, std::vector<std::string>{outcomes[0].message});
  EXPECT_FALSE(form->SequenceUnderWay());
}

TEST_F(SequenceOutcomeTest, PortLostAndErrorsEndOnlyASequenceUnderWay) {
  form->PortLost();
  form->EndSequenceWithError("boom");
  EXPECT_TRUE(outcomes.empty());

  Connect();
  form->PortLost();
  form->EndSequenceWithError("boom");
  ASSERT_EQ(outcomes.size(), 1u);
  EXPECT_EQ(Ending(), SequenceEnding::kPortLost);
  EXPECT_EQ(outcomes[0].port, pty.SlavePath());

  Connect();
  form->EndSequenceWithError("boom");
  ASSERT_EQ(outcomes.size(), 2u);
  EXPECT_EQ(outcomes[1].ending, SequenceEnding::kFailed);
  EXPECT_EQ(outcomes[1].message, "boom");
}

TEST_F(SequenceOutcomeTest, TheCaptureLimitCountsTheLinesThatWereNoAnswers) {
  Recreate(WithLimit(&SequenceLimits::capture_ms, 1200));
  Connect();
  Receive("noise\r\n");
  Receive(ResponseRecord(1, 3, kLoaderMode).substr(0, 12) + "\r\n");
  loop.AdvanceBy(1199);
  EXPECT_TRUE(outcomes.empty());
  loop.AdvanceBy(1);
  ASSERT_EQ(outcomes.size(), 1u);
  EXPECT_EQ(Ending(), SequenceEnding::kNoAnswerToCapture);
  EXPECT_EQ(outcomes[0].lines_received, 2);
  EXPECT_EQ(outcomes[0].answers_accepted, 0);
  EXPECT_TRUE(form->Timer1.Enabled()) << "stopping the capture is the front end's choice";
}

TEST_F(SequenceOutcomeTest, TheCaptureLimitEndsWithTheCapture) {
  Recreate(WithLimit(&SequenceLimits::capture_ms, 1200));
  Connect();
  loop.AdvanceBy(1000);
  Answer(3, kLoaderMode);
  loop.AdvanceBy(60000);  // the erases time out: the limit has no say any more
  ASSERT_EQ(outcomes.size(), 1u);
  EXPECT_EQ(Ending(), SequenceEnding::kNoAnswerToErase);

  Recreate({});  // without a limit the capture waits as long as it takes
  Connect();
  loop.AdvanceBy(600000);
  EXPECT_TRUE(outcomes.empty());
  EXPECT_TRUE(form->SequenceUnderWay());
}

TEST_F(SequenceOutcomeTest, TheResetLimitRunsFromTheFirstResetAfterTheRun) {
  Recreate(WithLimit(&SequenceLimits::reset_answer_ms, 10000));
  Connect();
  ThroughTheErases();
  AcknowledgeEveryBlock();
  loop.AdvanceBy(kTick);
  ASSERT_EQ(logged_at.count("Reset Target"), 1u);
  loop.AdvanceBy(logged_at["Reset Target"] + 9999 - loop.NowMs());  // resent on every tick
  EXPECT_TRUE(outcomes.empty());
  loop.AdvanceBy(1);
  ASSERT_EQ(outcomes.size(), 1u);
  EXPECT_EQ(Ending(), SequenceEnding::kNoAnswerToReset);

  Recreate(WithLimit(&SequenceLimits::reset_answer_ms, 10000));
  Connect();
  ThroughTheErases();
  Answer(4, 0x1000);
  loop.AdvanceBy(kTick + 10000);
  ASSERT_EQ(outcomes.size(), 1u);
  EXPECT_EQ(Ending(), SequenceEnding::kAbortedByTarget) << "still an abort, without the reset";
  EXPECT_FALSE(outcomes[0].reset_answered);
}

TEST_F(SequenceOutcomeTest, TheStallLimitEndsAChainThatWaitsForNothing) {
  Recreate(WithLimit(&SequenceLimits::stall_ms, 4000));
  Connect();
  Answer(1, 0x0400);  // transparent mode: the capture ends and no step follows
  loop.AdvanceBy(3999);
  EXPECT_TRUE(outcomes.empty());
  loop.AdvanceBy(500);
  ASSERT_EQ(outcomes.size(), 1u);
  EXPECT_EQ(Ending(), SequenceEnding::kStalled);
  EXPECT_EQ(outcomes[0].last_response_code, 1);

  // Long waits for answers and the chain's own steps are no stall.
  Recreate(WithLimit(&SequenceLimits::stall_ms, 4000));
  Connect();
  loop.AdvanceBy(30000);  // capturing
  ThroughTheErases();
  AcknowledgeEveryBlock();
  loop.AdvanceBy(30000);  // resetting, every tick
  EXPECT_TRUE(outcomes.empty());
}

}  // namespace
}  // namespace quarnel::testing
