// The supervisor with scripted children and a clock the test moves: what it
// counts per slot, when it starts the next child, how it stops, and what it
// makes of children that end without saying how.
#include "station/supervisor.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>

#include "station/exit_status.h"

namespace quarnel::station {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using namespace std::chrono_literals;

// Children that only note what is asked of them; the test writes their lines.
class ScriptedLauncher : public ChildLauncher {
 public:
  struct Child : RunningChild {
    explicit Child(ScriptedLauncher& launcher, size_t slot) : launcher(launcher), slot(slot) {}
    ~Child() override { ++launcher.dropped[slot]; }
    void RequestStop(int signal) override { launcher.stop_requests.push_back({slot, signal}); }
    void Kill() override { launcher.kills.push_back(slot); }
    ScriptedLauncher& launcher;
    size_t slot;
  };
  std::unique_ptr<RunningChild> Launch(size_t slot, uint64_t run,
                                       const std::vector<std::string>& args) override {
    if (fail_next) {
      fail_next = false;
      throw std::runtime_error("no processes left");
    }
    launches.push_back({slot, run, args});
    return std::make_unique<Child>(*this, slot);
  }
  struct Launched {
    size_t slot;
    uint64_t run;
    std::vector<std::string> args;
  };
  std::vector<Launched> launches;
  std::vector<std::pair<size_t, int>> stop_requests;
  std::vector<size_t> kills;
  std::map<size_t, int> dropped;
  bool fail_next = false;
};

class Recorder : public StationObserver {
 public:
  void ChildEventArrived(size_t slot, const TimedEvent&) override { events.push_back(slot); }
  void ChildTextArrived(size_t slot, const std::string& text, const std::string&) override {
    texts.push_back(std::to_string(slot) + ":" + text);
  }
  void SlotNote(size_t slot, const std::string& text) override {
    notes.push_back(std::to_string(slot) + ":" + text);
  }
  void UnitRecorded(size_t slot, const UnitResult& result, bool from_child) override {
    units.push_back({slot, result, from_child});
  }
  void Stopping() override { ++stopping; }
  struct Unit {
    size_t slot;
    UnitResult result;
    bool from_child;
  };
  std::vector<size_t> events;
  std::vector<std::string> texts;
  std::vector<std::string> notes;
  std::vector<Unit> units;
  int stopping = 0;
};

// A log that takes records, or (refuse) holds them back until it can.
class Log : public UnitRecordSink {
 public:
  bool Keep(const SlotPlan& slot, const UnitResult& result, std::string& error) override {
    held.push_back(slot.name + ":" + std::to_string(result.exit_status));
    ids.push_back(result.unit_id.value_or(""));
    return Retry(error);
  }
  bool Retry(std::string& error) override {
    ++tries;
    if (refuse) {
      error = "disk full";
      return false;
    }
    kept.insert(kept.end(), held.begin(), held.end());
    held.clear();
    return true;
  }
  std::vector<std::string> kept;
  std::vector<std::string> held;
  std::vector<std::string> ids;  // each record's unit ID, in order
  bool refuse = false;
  int tries = 0;
};

constexpr char kImageHash[] = "aaaa";

class SupervisorTest : public ::testing::Test {
 protected:
  void Make(std::vector<SlotPlan> slots, bool station_mode,
            std::optional<int64_t> quota = std::nullopt) {
    Supervisor::Options options;
    options.station = station_mode;
    options.quota = quota;
    options.image_sha256 = kImageHash;
    options.child_args = [](const SlotPlan& plan) {
      return std::vector<std::string>{"--port", plan.port};
    };
    options.now = [this] { return now_; };
    supervisor_ = std::make_unique<Supervisor>(std::move(slots), options, launcher_, &log_);
    supervisor_->AddObserver(recorder_);
    supervisor_->Start();
  }
  uint64_t RunOf(size_t slot) const {
    uint64_t run = 0;
    for (const auto& launched : launcher_.launches) {
      if (launched.slot == slot) run = launched.run;
    }
    return run;
  }
  void Say(size_t slot, ChildEvent event) {
    ChildLine line;
    line.slot = slot;
    line.run = RunOf(slot);
    line.event = TimedEvent{std::move(event), std::chrono::system_clock::now()};
    supervisor_->Handle(line);
  }
  void End(size_t slot, int exit_status) {
    supervisor_->Handle(ChildEnded{slot, RunOf(slot), exit_status});
  }
  UnitResult Outcome(SequenceEnding ending, int exit_status) {
    UnitResult unit;
    unit.ending = ending;
    unit.port = "as the child saw it";
    unit.target_id = "1A2B";
    unit.exit_status = exit_status;
    unit.image_sha256 = kImageHash;
    unit.reason = "how it went";
    return unit;
  }
  // A whole unit on `slot`: capture, erase, program, outcome, end.
  void Unit(size_t slot, SequenceEnding ending, int exit_status) {
    Say(slot, PhaseEvent{SequencePhase::kCapture});
    Say(slot, PhaseEvent{SequencePhase::kErase});
    Say(slot, PhaseEvent{SequencePhase::kProgram});
    Say(slot, ProgressEvent{10, 20, 240, 480, 800});
    Say(slot, OutcomeEvent{Outcome(ending, exit_status)});
    End(slot, exit_status);
  }
  const SlotState& Slot(size_t slot) const { return supervisor_->Slots()[slot]; }

  Supervisor::Clock::time_point now_{};
  ScriptedLauncher launcher_;
  Recorder recorder_;
  Log log_;
  std::unique_ptr<Supervisor> supervisor_;
};

TEST_F(SupervisorTest, EachSlotFollowsItsChildsPhaseAndProgress) {
  Make({{"A", "sim0", {}}, {"B", "sim1", {}}}, false);
  ASSERT_EQ(launcher_.launches.size(), 2u);
  EXPECT_THAT(launcher_.launches[1].args, ElementsAre("--port", "sim1"));
  EXPECT_EQ(Slot(0).activity, SlotActivity::kStarting);

  Say(0, PhaseEvent{SequencePhase::kProgram});
  Say(0, ProgressEvent{5, 20, 120, 480, std::nullopt});
  EXPECT_EQ(Slot(0).activity, SlotActivity::kRunning);
  EXPECT_EQ(Slot(0).phase, SequencePhase::kProgram);
  ASSERT_TRUE(Slot(0).progress.has_value());
  EXPECT_EQ(Slot(0).progress->blocks_sent, 5);
  // The other slot is untouched, and a phase after the run drops the progress.
  EXPECT_EQ(Slot(1).activity, SlotActivity::kStarting);
  Say(0, PhaseEvent{SequencePhase::kReset});
  EXPECT_FALSE(Slot(0).progress.has_value());
  EXPECT_THAT(recorder_.events, ElementsAre(0u, 0u, 0u));
}

TEST_F(SupervisorTest, OneUnitASlotCountsEveryOutcomeAndReportsTheWorst) {
  Make({{"A", "sim0", {}}, {"B", "sim1", {}}}, false);
  Unit(0, SequenceEnding::kProgrammed, kExitOk);
  EXPECT_FALSE(supervisor_->Done());
  Unit(1, SequenceEnding::kNoAnswerToDataRecord, kExitTimeOut);
  EXPECT_TRUE(supervisor_->Done());
  EXPECT_EQ(Slot(0).passed, 1);
  EXPECT_EQ(Slot(1).failed, 1);
  // The slot's port, not the child's idea of it.
  EXPECT_EQ(Slot(0).last->port, "sim0");
  EXPECT_EQ(supervisor_->ExitStatus(), kExitTimeOut);
  EXPECT_THAT(log_.kept, ElementsAre("A:0", "B:5"));
  // No child is started again without station mode.
  EXPECT_EQ(launcher_.launches.size(), 2u);
}

TEST_F(SupervisorTest, AStationSlotStartsTheNextChildAtOnceOrAfterAPauseWhenItEndedSoon) {
  Make({{"A", "sim0", {}}}, true);
  now_ += 30s;
  Unit(0, SequenceEnding::kProgrammed, kExitOk);
  // It lived long: the next unit's child starts at once.
  ASSERT_EQ(launcher_.launches.size(), 2u);
  EXPECT_EQ(Slot(0).activity, SlotActivity::kStarting);

  // This one ends 1 s after its start (a fault that ends every child at
  // once): the next waits, so nothing runs in a tight loop.
  now_ += 1s;
  Unit(0, SequenceEnding::kNoAnswerToErase, kExitTimeOut);
  EXPECT_EQ(launcher_.launches.size(), 2u);
  EXPECT_EQ(Slot(0).activity, SlotActivity::kRestartPause);
  ASSERT_TRUE(supervisor_->NextDeadline().has_value());
  EXPECT_EQ(*supervisor_->NextDeadline(), now_ + Supervisor::kShortestRun);
  supervisor_->Tick();
  EXPECT_EQ(launcher_.launches.size(), 2u);
  now_ += Supervisor::kShortestRun;
  supervisor_->Tick();
  EXPECT_EQ(launcher_.launches.size(), 3u);
  EXPECT_EQ(Slot(0).passed, 1);
  EXPECT_EQ(Slot(0).failed, 1);
}

TEST_F(SupervisorTest, AScannedIdGoesIntoOneUnitsRecordAndEventAndNeverToASecondUnit) {
  Make({{"A", "sim0", {}}, {"B", "sim1", {}}}, true);
  now_ += 30s;
  EXPECT_EQ(supervisor_->AssignUnitId(0, ""), Supervisor::UnitIdAnswer::kEmpty);
  EXPECT_EQ(supervisor_->AssignUnitId(0, "SN-1"), Supervisor::UnitIdAnswer::kGiven);
  EXPECT_EQ(Slot(0).unit_id, "SN-1");
  // The same scan on another slot while it waits on A: refused.
  EXPECT_EQ(supervisor_->AssignUnitId(1, "SN-1"), Supervisor::UnitIdAnswer::kWaitsOnOtherSlot);
  EXPECT_EQ(supervisor_->SlotHoldingUnitId("SN-1"), 0u);

  // A child that ends with nobody there is no unit: the ID waits on.
  Say(0, PhaseEvent{SequencePhase::kCapture});
  Say(0, OutcomeEvent{[&] {
        UnitResult nobody = Outcome(SequenceEnding::kNoAnswerToCapture, 5);
        nobody.target_id.clear();
        return nobody;
      }()});
  End(0, 5);
  EXPECT_EQ(Slot(0).unit_id, "SN-1");

  Unit(0, SequenceEnding::kProgrammed, kExitOk);
  ASSERT_EQ(recorder_.units.size(), 1u);
  EXPECT_EQ(recorder_.units[0].result.unit_id, "SN-1");
  EXPECT_EQ(Slot(0).last->unit_id, "SN-1");
  EXPECT_THAT(log_.ids, ElementsAre("SN-1"));
  EXPECT_FALSE(Slot(0).unit_id.has_value());
  // The slot's next unit has no ID of its own.
  Unit(0, SequenceEnding::kProgrammed, kExitOk);
  EXPECT_THAT(log_.ids, ElementsAre("SN-1", ""));
  // A programmed ID is not given again; a failed unit's may be scanned again.
  EXPECT_EQ(supervisor_->AssignUnitId(1, "SN-1"), Supervisor::UnitIdAnswer::kAlreadyProgrammed);
  ASSERT_EQ(supervisor_->AssignUnitId(1, "SN-2"), Supervisor::UnitIdAnswer::kGiven);
  Unit(1, SequenceEnding::kNoAnswerToDataRecord, kExitTimeOut);
  EXPECT_EQ(supervisor_->AssignUnitId(1, "SN-2"), Supervisor::UnitIdAnswer::kGiven);
}

TEST_F(SupervisorTest, AScannedIdGoesToTheUnitUnderWayAndIntoItsOutcomeEvent) {
  Make({{"A", "sim0", {}}}, true);
  now_ += 30s;
  class Outcomes : public StationObserver {
   public:
    void ChildEventArrived(size_t, const TimedEvent& timed) override {
      if (const auto* outcome = std::get_if<OutcomeEvent>(&timed.event))
        ids.push_back(outcome->unit.unit_id.value_or(""));
    }
    std::vector<std::string> ids;
  } outcomes;
  supervisor_->AddObserver(outcomes);
  Say(0, PhaseEvent{SequencePhase::kCapture});
  Say(0, PhaseEvent{SequencePhase::kErase});
  ASSERT_EQ(supervisor_->AssignUnitId(0, "SN-7"), Supervisor::UnitIdAnswer::kGiven);
  Say(0, OutcomeEvent{Outcome(SequenceEnding::kProgrammed, kExitOk)});
  End(0, kExitOk);
  EXPECT_THAT(outcomes.ids, ElementsAre("SN-7"));
  EXPECT_THAT(log_.ids, ElementsAre("SN-7"));
  // A stopped station's slots take no ID.
  supervisor_->RequestStop(2);
  End(0, 130);
  EXPECT_EQ(supervisor_->AssignUnitId(0, "SN-8"), Supervisor::UnitIdAnswer::kSlotDone);
}

TEST_F(SupervisorTest, LinesOfAnEarlierChildOfTheSlotAreIgnored) {
  Make({{"A", "sim0", {}}}, true);
  now_ += 30s;
  Unit(0, SequenceEnding::kProgrammed, kExitOk);
  ChildLine stale;
  stale.slot = 0;
  stale.run = 1;  // the child that has ended
  stale.event = TimedEvent{OutcomeEvent{Outcome(SequenceEnding::kFailed, 1)}, {}};
  supervisor_->Handle(stale);
  supervisor_->Handle(ChildEnded{0, 1, 1});
  EXPECT_EQ(Slot(0).failed, 0);
  EXPECT_EQ(launcher_.launches.size(), 2u);
}

TEST_F(SupervisorTest, AChildThatEndsWithoutAnOutcomeFailsItsUnitUnlessNoneWasUnderWay) {
  Make({{"A", "sim0", {}}, {"B", "sim1", {}}}, true);
  now_ += 30s;
  // Killed while programming: a failed unit that says so, with a status of
  // the table (not 137, which no unit ends with).
  Say(0, PhaseEvent{SequencePhase::kProgram});
  End(0, 137);
  ASSERT_EQ(recorder_.units.size(), 1u);
  EXPECT_FALSE(recorder_.units[0].from_child);
  EXPECT_EQ(recorder_.units[0].result.ending, SequenceEnding::kEndedBySignal);
  EXPECT_EQ(recorder_.units[0].result.exit_status, kExitFailed);
  EXPECT_THAT(recorder_.units[0].result.reason, HasSubstr("signal 9"));
  EXPECT_EQ(Slot(0).failed, 1);
  EXPECT_EQ(supervisor_->ExitStatus(), kExitFailed);
  // Killed while it waited for a unit: no unit was there.
  now_ += 30s;
  Say(0, PhaseEvent{SequencePhase::kCapture});
  End(0, 137);
  EXPECT_EQ(recorder_.units.size(), 1u);
  // A crash that said it was fine is still no success.
  Say(1, PhaseEvent{SequencePhase::kErase});
  End(1, 0);
  EXPECT_EQ(Slot(1).last->exit_status, kExitFailed);

  // Stopped while it waited for the next unit: no unit, nothing logged.
  supervisor_->RequestStop(15);
  Say(1, PhaseEvent{SequencePhase::kCapture});
  Say(1, OutcomeEvent{[] {
        UnitResult waiting;
        waiting.ending = SequenceEnding::kStoppedByOperator;
        waiting.exit_status = 143;
        return waiting;
      }()});
  End(1, 143);
  EXPECT_EQ(Slot(1).failed, 1);
  EXPECT_EQ(log_.kept.size(), 2u);
}

TEST_F(SupervisorTest, AStopAsksEveryChildThenKillsThoseThatOutstayTheGrace) {
  Make({{"A", "sim0", {}}, {"B", "sim1", {}}}, true);
  supervisor_->RequestStop(2);
  EXPECT_EQ(recorder_.stopping, 1);
  EXPECT_THAT(launcher_.stop_requests,
              ElementsAre(std::pair<size_t, int>{0, 2}, std::pair<size_t, int>{1, 2}));
  EXPECT_TRUE(launcher_.kills.empty());
  // One child ends as asked: its slot is done, no new child starts.
  End(0, 130);
  EXPECT_EQ(Slot(0).activity, SlotActivity::kDone);
  EXPECT_EQ(launcher_.launches.size(), 2u);
  now_ += Supervisor::kStopGrace - 1s;
  supervisor_->Tick();
  EXPECT_TRUE(launcher_.kills.empty());
  now_ += 1s;
  supervisor_->Tick();
  EXPECT_THAT(launcher_.kills, ElementsAre(1u));
  End(1, 137);
  EXPECT_TRUE(supervisor_->Done());
}

TEST_F(SupervisorTest, ASecondStopKillsAtOnceAndAPausedSlotIsDone) {
  Make({{"A", "sim0", {}}, {"B", "sim1", {}}}, true);
  Unit(0, SequenceEnding::kProgrammed, kExitOk);  // soon after its start: a pause
  ASSERT_EQ(Slot(0).activity, SlotActivity::kRestartPause);
  supervisor_->RequestStop(2);
  supervisor_->Tick();
  EXPECT_EQ(Slot(0).activity, SlotActivity::kDone);
  supervisor_->RequestStop(2);
  EXPECT_THAT(launcher_.kills, ElementsAre(1u));
  EXPECT_EQ(recorder_.stopping, 1);
}

TEST_F(SupervisorTest, APortThatCannotGoOnStopsAloneAndSaysWhy) {
  Make({{"A", "sim0", {}}, {"B", "sim1", {}}}, true);
  now_ += 30s;
  Unit(0, SequenceEnding::kPortLost, kExitPortLost);
  EXPECT_EQ(Slot(0).activity, SlotActivity::kDone);
  EXPECT_EQ(Slot(0).stopped_because, "how it went");
  EXPECT_THAT(recorder_.notes, ElementsAre("0:this port stops; the others go on"));
  Unit(1, SequenceEnding::kProgrammed, kExitOk);
  EXPECT_EQ(Slot(1).activity, SlotActivity::kStarting);
  EXPECT_EQ(supervisor_->ExitStatus(), kExitPortLost);
}

TEST_F(SupervisorTest, ASlotThatRepeatsAnotherOrCannotBeStartedTakesNoPart) {
  launcher_.fail_next = true;
  Make({{"A", "sim0", {}}, {"B", "sim1", {}}, {"C", "/dev/sim1", 1}}, false);
  EXPECT_EQ(launcher_.launches.size(), 1u);
  EXPECT_EQ(Slot(0).activity, SlotActivity::kDone);
  EXPECT_THAT(Slot(0).stopped_because, HasSubstr("no processes left"));
  EXPECT_EQ(Slot(2).activity, SlotActivity::kDone);
  EXPECT_THAT(Slot(2).stopped_because, HasSubstr("given twice (as sim1)"));
  ASSERT_EQ(recorder_.units.size(), 2u);
  EXPECT_EQ(recorder_.units[0].result.ending, SequenceEnding::kCouldNotStart);
  EXPECT_EQ(supervisor_->ExitStatus(), kExitCouldNotStart);
  // Neither is a unit.
  EXPECT_TRUE(log_.kept.empty());
  EXPECT_EQ(Slot(0).failed, 0);
}

TEST_F(SupervisorTest, AnImageOtherThanTheOneCheckedIsSaidAndFailsTheRun) {
  Make({{"A", "sim0", {}}}, false);
  UnitResult other = Outcome(SequenceEnding::kProgrammed, kExitOk);
  other.image_sha256 = "bbbb";
  Say(0, OutcomeEvent{other});
  EXPECT_THAT(recorder_.notes, ElementsAre(HasSubstr("SHA-256 bbbb")));
  EXPECT_EQ(supervisor_->ExitStatus(), kExitFailed);
}

// Nothing is erased without a record: when the log cannot take one, no new
// unit starts, the units under way finish, and the records held back are
// tried again until the log takes them.
TEST_F(SupervisorTest, ALogThatCannotTakeARecordStopsNewUnitsAndIsTriedAgain) {
  Make({{"A", "sim0", {}}, {"B", "sim1", {}}, {"C", "sim2", {}}}, true);
  now_ += 30s;
  Say(1, PhaseEvent{SequencePhase::kProgram});  // B programs a unit
  Say(2, PhaseEvent{SequencePhase::kCapture});  // C waits for one
  log_.refuse = true;
  Unit(0, SequenceEnding::kProgrammed, kExitOk);
  EXPECT_TRUE(supervisor_->Draining());
  EXPECT_TRUE(supervisor_->RecordsHeldBack());
  EXPECT_EQ(supervisor_->ExitStatus(), kExitCouldNotStart);
  // A is not started again; C stops waiting; B finishes its unit.
  EXPECT_EQ(launcher_.launches.size(), 3u);
  EXPECT_EQ(Slot(0).activity, SlotActivity::kDone);
  EXPECT_THAT(launcher_.stop_requests, ElementsAre(std::pair<size_t, int>{2, 15}));
  Say(1, OutcomeEvent{Outcome(SequenceEnding::kProgrammed, kExitOk)});
  End(1, 0);
  End(2, 143);
  EXPECT_TRUE(supervisor_->Done());
  EXPECT_THAT(log_.held, ElementsAre("A:0", "B:0"));
  // Tried again each second, and taken once the log can.
  const int tries = log_.tries;
  ASSERT_TRUE(supervisor_->NextDeadline().has_value());
  now_ = *supervisor_->NextDeadline();
  supervisor_->Tick();
  EXPECT_EQ(log_.tries, tries + 1);
  log_.refuse = false;
  now_ = *supervisor_->NextDeadline();
  supervisor_->Tick();
  EXPECT_THAT(log_.kept, ElementsAre("A:0", "B:0"));
  EXPECT_FALSE(supervisor_->RecordsHeldBack());
  EXPECT_THAT(recorder_.notes, Contains(HasSubstr("disk full")));
}

TEST_F(SupervisorTest, AQuotaLetsUnitsUnderWayFinishAndStopsTheWaitingSlots) {
  Make({{"A", "sim0", {}}, {"B", "sim1", {}}, {"C", "sim2", {}}}, true, 2);
  now_ += 30s;
  Say(1, PhaseEvent{SequencePhase::kErase});
  Say(2, PhaseEvent{SequencePhase::kCapture});
  Unit(0, SequenceEnding::kProgrammed, kExitOk);
  EXPECT_FALSE(supervisor_->Draining());
  Say(1, PhaseEvent{SequencePhase::kProgram});
  Say(1, OutcomeEvent{Outcome(SequenceEnding::kProgrammed, kExitOk)});
  EXPECT_TRUE(supervisor_->Draining());
  EXPECT_THAT(launcher_.stop_requests,
              ElementsAre(std::pair<size_t, int>{0, 15}, std::pair<size_t, int>{2, 15}));
  End(0, 143);
  End(1, 0);
  End(2, 143);
  EXPECT_TRUE(supervisor_->Done());
  EXPECT_EQ(supervisor_->Programmed(), 2);
  EXPECT_EQ(supervisor_->ExitStatus(), kExitOk);
  EXPECT_EQ(launcher_.launches.size(), 4u) << "A's second child, stopped while it waited";
}

TEST_F(SupervisorTest, ACaptureThatTimedOutWithNobodyThereIsNoUnit) {
  Make({{"A", "sim0", {}}}, true);
  now_ += 30s;
  Say(0, PhaseEvent{SequencePhase::kCapture});
  UnitResult nobody;
  nobody.ending = SequenceEnding::kNoAnswerToCapture;
  nobody.exit_status = kExitCaptureTimeOut;
  Say(0, OutcomeEvent{nobody});
  End(0, kExitCaptureTimeOut);
  EXPECT_EQ(Slot(0).failed, 0);
  EXPECT_TRUE(log_.kept.empty());
  EXPECT_EQ(supervisor_->ExitStatus(), kExitOk);
  EXPECT_EQ(launcher_.launches.size(), 2u) << "the port waits again";
}

TEST_F(SupervisorTest, ALargeStationStartsItsChildrenAFewAtATime) {
  std::vector<SlotPlan> slots;
  for (int i = 0; i < 10; ++i) slots.push_back({std::to_string(i), "sim" + std::to_string(i), {}});
  Make(slots, false);
  EXPECT_EQ(launcher_.launches.size(), Supervisor::kStartBatch);
  now_ += Supervisor::kStartSpacing;
  supervisor_->Tick();
  EXPECT_EQ(launcher_.launches.size(), 2 * Supervisor::kStartBatch);
  now_ += Supervisor::kStartSpacing;
  supervisor_->Tick();
  EXPECT_EQ(launcher_.launches.size(), 10u);
  EXPECT_FALSE(supervisor_->NextDeadline().has_value());
}

TEST_F(SupervisorTest, LinesThatAreNoEventsReachTheOperator) {
  Make({{"A", "sim0", {}}}, false);
  ChildLine line;
  line.slot = 0;
  line.run = RunOf(0);
  line.error_stream = true;
  line.text = "quarnel-cli: image …";
  supervisor_->Handle(line);
  EXPECT_THAT(recorder_.texts, ElementsAre("0:quarnel-cli: image …"));
}

}  // namespace
}  // namespace quarnel::station
