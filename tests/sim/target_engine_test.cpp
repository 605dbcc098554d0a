// The target engine in virtual time: when answers fall due and what they
// hold, with the line's pace, busy times and faults combined.
#include "target_engine.h"

#include <gtest/gtest.h>

namespace targetsim {
namespace {

using namespace std::chrono_literals;

const SimClock::time_point kStart{std::chrono::hours(1)};

struct Timed {
  SimClock::duration at;
  std::string bytes;
  bool hang_up;
};

class EngineTest : public ::testing::Test {
 protected:
  void Make(SimOptions options) {
    engine_ = std::make_unique<TargetEngine>(options, TargetEngine::Log(), TargetEngine::Log());
  }
  // Runs the engine's timeline to its end, collecting every write.
  std::vector<Timed> Drain() {
    std::vector<Timed> writes;
    while (auto next = engine_->NextWakeUp()) {
      for (auto& write : engine_->TakeDue(*next)) {
        writes.push_back({*next - kStart, write.bytes, write.hang_up_after});
      }
    }
    return writes;
  }
  std::unique_ptr<TargetEngine> engine_;
};

TEST_F(EngineTest, PowersOnAfterTheHostStartsTalking) {
  SimOptions options;
  options.power_on_after_ms = 3000;
  Make(options);
  engine_->Receive(":00010103FB\r\n", kStart);
  EXPECT_TRUE(Drain().empty());
  EXPECT_TRUE(engine_->bootloader().powered()) << "woken at its power-on time";
  engine_->Receive(":00020103FA\r\n", kStart + 3000ms);
  const auto writes = Drain();
  ASSERT_EQ(writes.size(), 1u);
  EXPECT_EQ(writes[0].bytes, "!1A2B000203400076\r\n");
}

TEST_F(EngineTest, EraseTimeAndLinePaceDelayTheAnswers) {
  SimOptions options;
  options.baud = 1000;  // 10 ms a character
  options.times.erase_ms = 1500;
  Make(options);
  engine_->Receive(":00010106F8\r\n:00020103FA\r\n:00030106F6\r\n:00040103F8\r\n", kStart);
  const auto writes = Drain();
  ASSERT_EQ(writes.size(), 4u);
  // Refused erase: received after 130 ms, sent in 190 ms.
  EXPECT_EQ(writes[0].at, 320ms);
  EXPECT_EQ(writes[1].at, 510ms) << "its record arrived at 260 ms; the line was busy to 320";
  // The erase record arrives at 390 ms and takes 1500 ms.
  EXPECT_EQ(writes[2].bytes, "!1A2B000306400072\r\n");
  EXPECT_EQ(writes[2].at, 390ms + 1500ms + 190ms);
  EXPECT_EQ(writes[3].at, 390ms + 1500ms + 380ms) << "queued behind the erase";
}

TEST_F(EngineTest, HostClosingDropsUnsentAnswersAndHalfRecords) {
  SimOptions options;
  options.times.erase_ms = 1000;
  Make(options);
  engine_->Receive(":00010103FB\r\n:00020106F7\r\n:0003", kStart);
  engine_->TakeDue(kStart);
  engine_->HostClosed();
  EXPECT_FALSE(engine_->NextWakeUp());
  engine_->Receive("0103F9\r\n:00030103F9\r\n", kStart + 2s);
  const auto writes = Drain();
  ASSERT_EQ(writes.size(), 1u);
  EXPECT_EQ(writes[0].bytes, "!1A2B000303400075\r\n");
}

TEST_F(EngineTest, CombinedFaultsOnOneAnswer) {
  SimOptions options;
  options.faults.delay_ms = 100;
  options.faults.split_answer = 2;
  options.faults.split_pause_ms = 40;
  options.faults.garbage_every = 2;
  options.faults.lower_case_from = 2;
  options.faults.block_status_bits[1] = 0x0002;
  options.faults.hang_up_after_block = 1;
  Make(options);
  engine_->Receive(":00010103FB\r\n", kStart);
  engine_->Receive("*0001" + std::string(48, '0') + "FF\r\n", kStart + 10ms);
  const auto writes = Drain();
  ASSERT_EQ(writes.size(), 4u);
  EXPECT_EQ(writes[0].bytes, "!1A2B000103400077\r\n");
  EXPECT_EQ(writes[0].at, 100ms);
  const std::string second = std::string(FaultInjector::kGarbageLine) + "!1a2b000104401264\r\n";
  EXPECT_EQ(writes[1].bytes + writes[2].bytes, second);
  EXPECT_EQ(writes[1].at, 110ms);
  EXPECT_EQ(writes[2].at, 150ms);
  EXPECT_TRUE(writes[3].hang_up);
  EXPECT_TRUE(writes[3].bytes.empty());
  // Nothing reaches the host after the hang-up.
  engine_->Receive(":00020103FA\r\n", kStart + 200ms);
  EXPECT_TRUE(Drain().empty());
}

TEST_F(EngineTest, AfterItsResetAUnitMakesWayForTheNextUntilTheLastOne) {
  SimOptions options;
  options.next_unit_after_ms = 500;
  options.units = 2;
  Make(options);
  const auto answers_to = [this](const std::string& record, SimClock::time_point at) {
    engine_->Receive(record, at);
    std::vector<Timed> writes;
    while (auto next = engine_->NextWakeUp()) {
      if (*next > at + 100ms) break;  // the next unit's power-on is no answer
      for (auto& write : engine_->TakeDue(*next)) {
        writes.push_back({*next - kStart, write.bytes, write.hang_up_after});
      }
    }
    return writes.size();
  };
  EXPECT_EQ(answers_to(":00010103FB\r\n", kStart), 1u);
  EXPECT_EQ(answers_to(":00020109F4\r\n", kStart + 100ms), 1u) << "the reset is answered";
  EXPECT_EQ(answers_to(":00030103F9\r\n", kStart + 200ms), 0u) << "the unit was taken away";
  EXPECT_EQ(engine_->NextWakeUp(), kStart + 600ms);
  engine_->TakeDue(kStart + 600ms);
  EXPECT_EQ(answers_to(":00040103F8\r\n", kStart + 700ms), 1u) << "the next unit answers";
  EXPECT_TRUE(engine_->bootloader().in_loader_mode());
  EXPECT_EQ(answers_to(":00050109F1\r\n", kStart + 800ms), 1u);
  // That was the last unit: none comes.
  EXPECT_FALSE(engine_->NextWakeUp().has_value());
  EXPECT_EQ(answers_to(":00060103F6\r\n", kStart + 5000ms), 0u);
}

TEST(SimOptions, ParsesEveryFlagAndRejectsNonsense) {
  const auto parsed = ParseOptions({"--name=bench",
                                    "--id",
                                    "00c7",
                                    "--power-on-after",
                                    "3000",
                                    "--erase-ms",
                                    "10",
                                    "--program-ms",
                                    "2",
                                    "--baud",
                                    "115200",
                                    "--image-out",
                                    "x.bin",
                                    "-v",
                                    "--drop-answer",
                                    "2",
                                    "--drop-data-every",
                                    "3",
                                    "--drop-command",
                                    "6,9",
                                    "--corrupt-checksum",
                                    "4",
                                    "--wrong-sequence",
                                    "5",
                                    "--lower-case",
                                    "1",
                                    "--double-answer",
                                    "6",
                                    "--split-answer",
                                    "7",
                                    "--split-pause-ms",
                                    "0",
                                    "--delay-ms",
                                    "9",
                                    "--status-bits",
                                    "2:0840",
                                    "--status-bits",
                                    "2:1",
                                    "--garbage-every",
                                    "10",
                                    "--hang-up-after",
                                    "11",
                                    "--noise-bytes",
                                    "12",
                                    "--drop-block",
                                    "20:3",
                                    "--drop-block",
                                    "7"});
  ASSERT_TRUE(std::holds_alternative<SimOptions>(parsed));
  const auto& o = std::get<SimOptions>(parsed);
  EXPECT_EQ(o.name, "bench");
  EXPECT_EQ(o.target_id, 0x00C7);
  EXPECT_EQ(o.image_out, "x.bin");
  EXPECT_TRUE(o.verbose);
  EXPECT_EQ(o.faults.drop_commands, (std::set<uint8_t>{6, 9}));
  EXPECT_EQ(o.faults.split_pause_ms, 0u);
  EXPECT_EQ(o.faults.block_status_bits.at(2), 0x0841) << "repeated flags add up";
  EXPECT_EQ(o.faults.hang_up_after_block, 11u);
  EXPECT_EQ(o.faults.noise_bytes, 12u);
  EXPECT_EQ(o.faults.drop_block, (std::map<size_t, uint32_t>{{7, 0}, {20, 3}}));

  EXPECT_TRUE(std::holds_alternative<ShowHelp>(ParseOptions({"--baud", "9600", "--help"})));
  for (const auto& bad : {std::vector<std::string>{"--name", "../x"},
                          {"--id", "12345"},
                          {"--baud", "-1"},
                          {"--drop-answer", "0"},
                          {"--drop-command", "5"},
                          {"--status-bits", "2"},
                          {"--status-bits", "0:40"},
                          {"--drop-block", "0:3"},
                          {"--drop-block", "4:0"},
                          {"--drop-block", "4:"},
                          {"--erase-ms"},
                          {"--frobnicate", "1"}}) {
    EXPECT_TRUE(std::holds_alternative<OptionError>(ParseOptions(bad))) << bad[0];
  }
}

}  // namespace
}  // namespace targetsim
