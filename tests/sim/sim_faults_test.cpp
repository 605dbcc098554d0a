// Each fault flag of the simulator once, seen from the host's side.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "host_port.h"

namespace simtest {
namespace {

using namespace std::chrono_literals;

const char* const kCapture1 = ":00010103FB\r\n";
const char* const kCapture2 = ":00020103FA\r\n";
const char* const kCapture3 = ":00030103F9\r\n";

const char* const kCaptured1 = "!1A2B000103400077\r\n";
const char* const kCaptured2 = "!1A2B000203400076\r\n";
const char* const kBlockAck1 = "!1A2B000104401066\r\n";
const char* const kBlockAck2 = "!1A2B000204401065\r\n";

class SimFault : public ::testing::Test {
 protected:
  void Start(const std::vector<std::string>& args) {
    sim_ = std::make_unique<Simulator>(
        runtime_.path(), args,
        Simulator::Named(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    host_ = std::make_unique<HostPort>(sim_->port());
  }
  // Sends a record and expects exactly this answer, or silence for "".
  void Exchange(const std::string& record, const std::string& answer) {
    host_->Send(record);
    if (answer.empty()) {
      EXPECT_EQ(host_->ReceiveFor(kSilence), "") << "answer to " << record;
    } else {
      EXPECT_EQ(host_->Receive(answer.size()), answer) << "answer to " << record;
    }
  }

  TempDir runtime_;
  std::unique_ptr<Simulator> sim_;
  std::unique_ptr<HostPort> host_;
};

TEST_F(SimFault, DropAnswerToTheNthRecord) {
  Start({"--drop-answer", "2"});
  Exchange(kCapture1, kCaptured1);
  Exchange(kCapture2, "");
  Exchange(kCapture3, "!1A2B000303400075\r\n");
}

TEST_F(SimFault, DropEveryNthDataRecordKeepsTheBlockOnce) {
  Start({"--drop-data-every", "2"});
  const auto image = sim_->image_path();
  Exchange(kCapture1, kCaptured1);
  Exchange(kBlock1, kBlockAck1);
  Exchange(kBlock2, "");
  Exchange(kBlock2, kBlockAck2);  // the host's retransmission
  Exchange(kBlock3, "");
  EXPECT_EQ(sim_->Stop(), 0);
  EXPECT_EQ(std::filesystem::file_size(image), 72u) << "three blocks, the repeated one once";
}

TEST_F(SimFault, DropBlockLeavesItsFirstSendingsUnanswered) {
  Start({"--drop-block", "2:2"});
  const auto image = sim_->image_path();
  Exchange(kCapture1, kCaptured1);
  Exchange(kBlock1, kBlockAck1);
  Exchange(kBlock2, "");
  Exchange(kBlock2, "");
  Exchange(kBlock2, kBlockAck2);  // the third sending is answered
  EXPECT_EQ(sim_->Stop(), 0);
  EXPECT_EQ(std::filesystem::file_size(image), 48u) << "the repeated block kept once";
}

TEST_F(SimFault, DropBlockWithoutACountNeverAnswersIt) {
  Start({"--drop-block", "1"});
  Exchange(kCapture1, kCaptured1);
  for (int sending = 0; sending < 4; ++sending) Exchange(kBlock1, "");
}

TEST_F(SimFault, DropCommandAnswersButCarryThemOut) {
  Start({"--drop-command", "6,9"});
  Exchange(kCapture1, kCaptured1);
  Exchange(":00020106F7\r\n", "");             // erase all
  Exchange(":00030109F3\r\n", "");             // reset
  Exchange(kBlock1, "!1A2B0001041000A6\r\n");  // the reset happened
}

TEST_F(SimFault, CorruptChecksum) {
  Start({"--corrupt-checksum", "1"});
  Exchange(kCapture1, "!1A2B000103400078\r\n");
  Exchange(kCapture2, kCaptured2);
}

TEST_F(SimFault, WrongSequenceNumber) {
  Start({"--wrong-sequence", "1"});
  Exchange(kCapture1, "!1A2B000203400076\r\n");
  Exchange(kCapture2, kCaptured2);
}

TEST_F(SimFault, LowerCaseFromTheNthRecord) {
  Start({"--lower-case", "2"});
  Exchange(kCapture1, kCaptured1);
  Exchange(kBlock1, "!1a2b000104401066\r\n");
  Exchange(kBlock2, "!1a2b000204401065\r\n");
}

TEST_F(SimFault, TwoAnswersInOneWrite) {
  Start({"--double-answer", "1"});
  Exchange(kCapture1, "");
  Exchange(kCapture2, std::string(kCaptured1) + kCaptured2);
  Exchange(kCapture3, "!1A2B000303400075\r\n");
}

TEST_F(SimFault, AnswerSplitAcrossTwoWritesWithAPause) {
  Start({"--split-answer", "1", "--split-pause-ms", "300"});
  host_->Send(kCapture1);
  EXPECT_EQ(host_->Receive(9), "!1A2B0001");
  EXPECT_EQ(host_->ReceiveFor(100ms), "") << "the pause between the halves";
  EXPECT_EQ(host_->Receive(10), "03400077\r\n");
}

TEST_F(SimFault, DelayedAnswers) {
  Start({"--delay-ms", "300"});
  const auto start = std::chrono::steady_clock::now();
  Exchange(kCapture1, "");
  EXPECT_EQ(host_->Receive(kAnswerLength), kCaptured1);
  EXPECT_GE(std::chrono::steady_clock::now() - start, 300ms);
}

TEST_F(SimFault, StatusBitsOnTheAcknowledgementOfBlockK) {
  Start({"--status-bits", "2:0840"});
  Exchange(kCapture1, kCaptured1);
  Exchange(kBlock1, kBlockAck1);
  Exchange(kBlock2, "!1A2B00020448501D\r\n");
  Exchange(kBlock2, "!1A2B00020448501D\r\n");  // same block, same answer
}

TEST_F(SimFault, GarbageLineEveryNRecords) {
  Start({"--garbage-every", "2"});
  Exchange(kCapture1, kCaptured1);
  Exchange(kCapture2, std::string("#?~ line noise ~?#\r\n") + kCaptured2);
  Exchange(kCapture3, "!1A2B000303400075\r\n");
}

TEST_F(SimFault, NoiseBytesBeforeTheFirstAnswer) {
  Start({"--noise-bytes", "10240"});
  host_->Send(kCapture1);
  const std::string got = host_->Receive(10240 + kAnswerLength);
  ASSERT_EQ(got.size(), 10240 + kAnswerLength);
  EXPECT_EQ(got.find('\n'), got.size() - 1) << "no line feed in the noise";
  EXPECT_TRUE(got.ends_with(kCaptured1));
  Exchange(kCapture2, kCaptured2);  // then every answer as it should be
}

TEST_F(SimFault, HangUpAfterBlockK) {
  Start({"--hang-up-after", "2"});
  const auto image = sim_->image_path();
  Exchange(kCapture1, kCaptured1);
  Exchange(kBlock1, kBlockAck1);
  host_->Send(kBlock2);
  EXPECT_EQ(host_->Receive(kAnswerLength), kBlockAck2);
  EXPECT_TRUE(host_->WaitForHangUp(2s));
  EXPECT_EQ(sim_->WaitForExit(2s), 0);
  EXPECT_FALSE(std::filesystem::is_symlink(sim_->port()));
  EXPECT_EQ(std::filesystem::file_size(image), 48u);
}

}  // namespace
}  // namespace simtest
