// The station window's model with scripted station events on a virtual
// clock: no processes, no display. What the tiles, counters, the scan field
// and the list make of the supervisor's news, and how Stop and closing end
// the units under way.
#include "ui/station/station_window.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "station/exit_status.h"
#include "toolkit/application.h"
#include "toolkit/headless_event_loop.h"

namespace quarnel::station_window {
namespace {

using station::ChildEvent;
using station::OutcomeEvent;
using station::PhaseEvent;
using station::ProgressEvent;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

class ScriptedLauncher : public station::ChildLauncher {
 public:
  struct Child : station::RunningChild {
    Child(ScriptedLauncher& launcher, size_t slot) : launcher(launcher), slot(slot) {}
    void RequestStop(int) override { launcher.stop_requests.push_back(slot); }
    void Kill() override { launcher.kills.push_back(slot); }
    ScriptedLauncher& launcher;
    size_t slot;
  };
  std::unique_ptr<station::RunningChild> Launch(size_t slot, uint64_t run,
                                                const std::vector<std::string>&) override {
    runs[slot] = run;
    ++launches;
    return std::make_unique<Child>(*this, slot);
  }
  std::map<size_t, uint64_t> runs;
  int launches = 0;
  std::vector<size_t> stop_requests;
  std::vector<size_t> kills;
};

// The unit log: each record's slot and unit ID.
class Records : public station::UnitRecordSink {
 public:
  bool Keep(const station::SlotPlan& slot, const station::UnitResult& result,
            std::string&) override {
    kept.push_back(slot.name + ":" + result.unit_id.value_or("-"));
    return true;
  }
  bool Retry(std::string&) override { return true; }
  std::vector<std::string> kept;
};

class Answers : public tk::DialogService {
 public:
  void ShowMessage(const std::string& text) override { messages.push_back(text); }
  bool ExecuteOpenDialog(tk::TOpenDialog&) override { return false; }
  bool AskYesNo(const std::string& text) override {
    questions.push_back(text);
    return yes;
  }
  bool yes = false;
  std::vector<std::string> questions;
  std::vector<std::string> messages;
};

constexpr char kHash[] = "0123456789abcdef0123456789abcdef0123456789abcdef0123456789abcdef";

class StationWindowTest : public ::testing::Test {
 protected:
  StationWindowTest() {
    tk::SetMainLoop(&loop_);
    tk::Application::Instance().SetDialogService(&answers_);
  }
  ~StationWindowTest() override {
    window_.reset();
    tk::Application::Instance().SetDialogService(nullptr);
    tk::SetMainLoop(nullptr);
  }

  void Make(size_t slots, std::optional<station::RecipeFault> fault = std::nullopt) {
    StationWindow::Environment env;
    env.header = {"line 3", "/srv/line3.toml", "/srv/unit.cry", kHash, "/srv/units.log", "ann"};
    for (size_t i = 0; i < slots; ++i) {
      const std::string name(1, static_cast<char>('A' + i));
      env.slots.push_back({name, "sim" + std::to_string(i), {}});
    }
    env.fault = std::move(fault);
    env.new_supervisor = [this, slots = env.slots](auto now) {
      ++supervisors_made_;
      station::Supervisor::Options options;
      options.station = true;
      options.image_sha256 = kHash;
      options.now = now;
      return std::make_unique<station::Supervisor>(slots, options, launcher_, &records_);
    };
    window_ = std::make_unique<StationWindow>(std::move(env));
  }
  void Say(size_t slot, ChildEvent event) {
    station::ChildLine line;
    line.slot = slot;
    line.run = launcher_.runs[slot];
    line.event = station::TimedEvent{std::move(event), std::chrono::system_clock::now()};
    window_->Deliver(line);
  }
  void End(size_t slot, int status) {
    window_->Deliver(station::ChildEnded{slot, launcher_.runs[slot], status});
  }
  static station::UnitResult Result(SequenceEnding ending, int status,
                                    const std::string& target = "1A2B") {
    station::UnitResult unit;
    unit.ending = ending;
    unit.target_id = target;
    unit.exit_status = status;
    unit.image_sha256 = kHash;
    unit.unit_elapsed_ms = 4200;
    return unit;
  }
  // A whole unit: the unit answers, is erased and programmed, and ends.
  void Unit(size_t slot, SequenceEnding ending, int status, const std::string& target = "1A2B") {
    Say(slot, PhaseEvent{SequencePhase::kCapture});
    Say(slot, PhaseEvent{SequencePhase::kErase});
    Say(slot, PhaseEvent{SequencePhase::kProgram});
    Say(slot, OutcomeEvent{Result(ending, status, target)});
    Say(slot, PhaseEvent{SequencePhase::kEnded});
    // Each unit's program runs a while, so the next starts at once.
    loop_.AdvanceBy(3000);
    End(slot, status);
  }
  const TileState& Tile(size_t slot) const { return window_->Tiles()[slot]; }
  void Press(uint16_t key, tk::TShiftState shift = 0) { window_->KeyDown(key, shift); }
  void TypeScan(const std::string& id) {
    window_->ScanEdit.SetText(id);
    Press(0x0D);
  }

  tk::HeadlessEventLoop loop_{tk::HeadlessEventLoop::Clock::Virtual};
  Answers answers_;
  ScriptedLauncher launcher_;
  Records records_;
  int supervisors_made_ = 0;
  std::unique_ptr<StationWindow> window_;
};

TEST_F(StationWindowTest, ATileFollowsItsSlotsPhasesAndProgressInWords) {
  Make(2);
  EXPECT_EQ(Tile(0).activity, TileActivity::kIdle);
  window_->StartClick();
  EXPECT_EQ(window_->RunState(), StationRunState::kRunning);
  EXPECT_FALSE(window_->StartButton.Enabled());
  Say(0, PhaseEvent{SequencePhase::kWaitingForAdapter});
  EXPECT_EQ(window_->Tile(0).Activity().Caption(), "waiting for the adapter");
  Say(0, PhaseEvent{SequencePhase::kCapture});
  EXPECT_EQ(window_->Tile(0).Activity().Caption(), "waiting for a unit");
  Say(0, PhaseEvent{SequencePhase::kErase});
  EXPECT_EQ(window_->Tile(0).Activity().Caption(), "erasing");
  Say(0, PhaseEvent{SequencePhase::kProgram});
  Say(0, ProgressEvent{21, 50, 504, 1200, 1900});
  // Progress is shown at the next refresh.
  EXPECT_EQ(window_->Tile(0).Activity().Caption(), "programming");
  loop_.AdvanceBy(StationWindow::kProgressRefreshMs);
  EXPECT_EQ(window_->Tile(0).Activity().Caption(), "programming 42 % at 1.9 kB/s");
  EXPECT_EQ(window_->Tile(0).Progress().Progress(), 42);
  EXPECT_TRUE(window_->Tile(0).Progress().Visible());
  Say(0, PhaseEvent{SequencePhase::kReset});
  EXPECT_EQ(window_->Tile(0).Activity().Caption(), "resetting");
  EXPECT_EQ(window_->Tile(0).Progress().Progress(), 0);
  EXPECT_FALSE(window_->Tile(0).Progress().Visible());
  // The other slot's tile is untouched.
  EXPECT_EQ(Tile(1).activity, TileActivity::kStarting);
}

TEST_F(StationWindowTest, AVerdictStaysUntilTheSlotsNextUnitStarts) {
  Make(1);
  window_->StartClick();
  Unit(0, SequenceEnding::kNoAnswerToDataRecord, kExitTimeOut);
  ASSERT_TRUE(Tile(0).verdict.has_value());
  EXPECT_EQ(window_->Tile(0).VerdictField().Caption(), "FAIL");
  EXPECT_EQ(window_->Tile(0).VerdictField().Color(), kFailRed);
  EXPECT_THAT(window_->Tile(0).Details().Caption(), HasSubstr("no answer to a data record"));
  EXPECT_THAT(window_->Tile(0).Details().Caption(), HasSubstr("1A2B"));
  // The slot's next program starts and waits for a unit: the verdict stays.
  EXPECT_EQ(launcher_.launches, 2);
  Say(0, PhaseEvent{SequencePhase::kOpening});
  Say(0, PhaseEvent{SequencePhase::kCapture});
  loop_.AdvanceBy(60'000);
  EXPECT_EQ(window_->Tile(0).VerdictField().Caption(), "FAIL");
  // The next unit answers and is erased: its verdict is yet to come.
  Say(0, PhaseEvent{SequencePhase::kErase});
  EXPECT_FALSE(Tile(0).verdict.has_value());
  EXPECT_EQ(window_->Tile(0).VerdictField().Caption(), "");
  EXPECT_EQ(window_->Tile(0).VerdictField().Color(), tk::clBtnFace);
  Say(0, PhaseEvent{SequencePhase::kProgram});
  Say(0, OutcomeEvent{Result(SequenceEnding::kProgrammed, 0)});
  // The ended phase that follows the outcome is no new unit.
  Say(0, PhaseEvent{SequencePhase::kEnded});
  EXPECT_EQ(window_->Tile(0).VerdictField().Caption(), "PASS");
  EXPECT_EQ(window_->Tile(0).VerdictField().Color(), kPassGreen);

  // A unit that is not allowed says which it was.
  loop_.AdvanceBy(3000);
  End(0, 0);
  Say(0, PhaseEvent{SequencePhase::kCapture});
  Say(0, PhaseEvent{SequencePhase::kReset});
  Say(0, OutcomeEvent{Result(SequenceEnding::kWrongTarget, kExitWrongTarget, "00C7")});
  EXPECT_EQ(window_->Tile(0).VerdictField().Caption(), "FAIL");
  EXPECT_THAT(window_->Tile(0).Details().Caption(), HasSubstr("wrong target 00C7"));
}

TEST_F(StationWindowTest, CountersCountEachUnitOnceWithYieldAndUnitsPerHour) {
  Make(2);
  window_->StartClick();
  Unit(0, SequenceEnding::kProgrammed, 0);
  Unit(1, SequenceEnding::kProgrammed, 0);
  Unit(0, SequenceEnding::kPortLost, kExitPortLost);
  Unit(0, SequenceEnding::kProgrammed, 0);
  // A program stopped while it waited for a unit is no unit.
  Say(1, PhaseEvent{SequencePhase::kCapture});
  Say(1, OutcomeEvent{Result(SequenceEnding::kStoppedByOperator, 1, "")});
  EXPECT_EQ(window_->StationCounts().passed, 3);
  EXPECT_EQ(window_->StationCounts().failed, 1);
  EXPECT_EQ(Tile(0).counts.passed, 2);
  EXPECT_EQ(Tile(0).counts.failed, 1);
  EXPECT_EQ(Tile(1).counts.Total(), 1);
  EXPECT_THAT(window_->CountersLabel.Caption(), HasSubstr("Yield 75.0 %"));
  EXPECT_THAT(window_->Tile(0).Counts().Caption(), HasSubstr("66.7 %"));
  // Four units in half an hour of running: eight an hour.
  loop_.AdvanceBy(30 * 60'000 - 4 * 3000);
  ASSERT_TRUE(window_->UnitsPerHour().has_value());
  EXPECT_NEAR(*window_->UnitsPerHour(), 8.0, 0.01);
  EXPECT_THAT(window_->CountersLabel.Caption(), HasSubstr("Units/h 8"));

  // The reset asks first; No changes nothing.
  window_->ResetCountersClick();
  EXPECT_EQ(answers_.questions.size(), 1u);
  EXPECT_EQ(window_->StationCounts().Total(), 4);
  answers_.yes = true;
  window_->ResetCountersClick();
  EXPECT_EQ(window_->StationCounts().Total(), 0);
  EXPECT_EQ(Tile(0).counts.Total(), 0);
  EXPECT_FALSE(window_->UnitsPerHour().has_value());
  // The list of units is no counter: it stays.
  EXPECT_EQ(window_->Recent().Units().size(), 4u);
}

TEST_F(StationWindowTest, TheListKeepsTheLastTwentyUnitsNewestFirst) {
  Make(1);
  window_->StartClick();
  for (int i = 0; i < 22; ++i) {
    TypeScan("SN-" + std::to_string(i));
    Unit(0, i == 21 ? SequenceEnding::kNoAnswerToErase : SequenceEnding::kProgrammed,
         i == 21 ? kExitTimeOut : 0);
  }
  const auto& units = window_->Recent().Units();
  ASSERT_EQ(units.size(), 20u);
  EXPECT_EQ(units.front().verdict.unit_id, "SN-21");
  EXPECT_FALSE(units.front().verdict.passed);
  EXPECT_EQ(units.back().verdict.unit_id, "SN-2");
  // A heading and twenty lines, the newest first, with its verdict.
  ASSERT_EQ(window_->RecentList.LineCount(), 21);
  EXPECT_THAT(window_->RecentList.Lines()[1], HasSubstr("SN-21"));
  EXPECT_THAT(window_->RecentList.Lines()[1], HasSubstr("FAIL"));
  EXPECT_THAT(window_->RecentList.Lines()[1], HasSubstr("4.2 s"));
}

TEST_F(StationWindowTest, AScannedIdReachesTheRightUnitAndNoOther) {
  Make(3);
  window_->StartClick();
  Say(0, PhaseEvent{SequencePhase::kCapture});
  Say(1, PhaseEvent{SequencePhase::kErase});  // a unit under way takes no scan unasked
  Say(2, PhaseEvent{SequencePhase::kCapture});

  TypeScan("  SN-1 ");
  EXPECT_EQ(window_->ScanEdit.Text(), "");
  EXPECT_EQ(Tile(0).unit_id, "SN-1");
  EXPECT_THAT(window_->Tile(0).Details().Caption(), HasSubstr("SN-1"));
  // The same barcode again (a double scan) goes nowhere.
  TypeScan("SN-1");
  EXPECT_FALSE(Tile(2).unit_id.has_value());
  EXPECT_THAT(window_->ScanAnswer(), HasSubstr("not given twice"));
  // The next ID goes to the next slot that waits.
  TypeScan("SN-2");
  EXPECT_EQ(Tile(2).unit_id, "SN-2");
  // Ctrl+2 chooses the slot with the unit under way; the scan goes there.
  Press('2', 4);
  EXPECT_TRUE(Tile(1).chosen);
  TypeScan("SN-3");
  EXPECT_EQ(Tile(1).unit_id, "SN-3");
  EXPECT_FALSE(Tile(1).chosen);
  // Nobody waits now: the ID is refused, not parked anywhere.
  TypeScan("SN-4");
  EXPECT_THAT(window_->ScanAnswer(), HasSubstr("no slot waits"));

  Say(1, PhaseEvent{SequencePhase::kProgram});
  Say(1, OutcomeEvent{Result(SequenceEnding::kProgrammed, 0)});
  loop_.AdvanceBy(3000);
  End(1, 0);
  Unit(0, SequenceEnding::kProgrammed, 0);
  Unit(2, SequenceEnding::kNoAnswerToDataRecord, kExitTimeOut);
  EXPECT_THAT(records_.kept, ElementsAre("B:SN-3", "A:SN-1", "C:SN-2"));
  EXPECT_EQ(Tile(1).verdict->unit_id, "SN-3");
  // The slots' next units carry no ID of the last ones.
  Unit(0, SequenceEnding::kProgrammed, 0);
  EXPECT_EQ(records_.kept.back(), "A:-");
  // A programmed unit's ID is not given again, after a restart either; the
  // failed unit may be scanned again for its second try.
  window_->StopClick();
  for (size_t slot = 0; slot < 3; ++slot) End(slot, 130);
  ASSERT_EQ(window_->RunState(), StationRunState::kStopped);
  window_->StartClick();
  Say(0, PhaseEvent{SequencePhase::kCapture});
  TypeScan("SN-1");
  EXPECT_THAT(window_->ScanAnswer(), HasSubstr("programmed already"));
  TypeScan("SN-2");
  EXPECT_EQ(Tile(0).unit_id, "SN-2");
}

TEST_F(StationWindowTest, StopLetsTheUnitsUnderWayFinishThenStopNowStopsThem) {
  Make(2);
  window_->StartClick();
  Say(0, PhaseEvent{SequencePhase::kProgram});
  Say(1, PhaseEvent{SequencePhase::kCapture});
  window_->StopClick();
  EXPECT_EQ(window_->RunState(), StationRunState::kFinishing);
  // The waiting slot is stopped; the unit under way is not.
  EXPECT_THAT(launcher_.stop_requests, ElementsAre(1u));
  EXPECT_EQ(window_->StopButton.Caption(), "Stop now");
  End(1, 130);
  Say(0, OutcomeEvent{Result(SequenceEnding::kProgrammed, 0)});
  loop_.AdvanceBy(3000);
  End(0, 0);
  EXPECT_EQ(window_->RunState(), StationRunState::kStopped);
  EXPECT_EQ(launcher_.launches, 2);  // no new unit started
  EXPECT_TRUE(window_->StartButton.Enabled());
  EXPECT_EQ(Tile(0).verdict->passed, true);
  EXPECT_EQ(Tile(1).activity, TileActivity::kIdle);

  // Started again, a second Stop stops the unit under way at once.
  window_->StartClick();
  EXPECT_EQ(supervisors_made_, 2);
  Say(0, PhaseEvent{SequencePhase::kProgram});
  window_->StopClick();
  window_->StopClick();
  EXPECT_EQ(window_->RunState(), StationRunState::kStopping);
  // The first Stop ends the waiting slot; the second asks both.
  EXPECT_THAT(launcher_.stop_requests, ElementsAre(1u, 1u, 0u, 1u));
}

TEST_F(StationWindowTest, ClosingWhileUnitsRunAsksThenStopsEverySlotAndClosesOnceAllEnded) {
  Make(2);
  window_->StartClick();
  Say(0, PhaseEvent{SequencePhase::kProgram});
  Say(1, PhaseEvent{SequencePhase::kCapture});
  window_->Close();
  ASSERT_EQ(answers_.questions.size(), 1u);
  EXPECT_FALSE(window_->Closed());
  EXPECT_TRUE(launcher_.stop_requests.empty());

  answers_.yes = true;
  window_->Close();
  EXPECT_FALSE(window_->Closed());
  EXPECT_THAT(launcher_.stop_requests, ElementsAre(0u, 1u));
  // Asked again meanwhile, it neither asks nor closes before the slots end.
  window_->Close();
  EXPECT_EQ(answers_.questions.size(), 2u);
  Say(0, OutcomeEvent{Result(SequenceEnding::kStoppedByOperator, 1)});
  End(0, 1);
  EXPECT_FALSE(window_->Closed());
  End(1, 130);
  EXPECT_TRUE(window_->Closed());
  // The stopped unit is recorded as what it was.
  EXPECT_EQ(Tile(0).verdict->ending, SequenceEnding::kStoppedByOperator);
}

TEST_F(StationWindowTest, ClosingAStoppedStationAsksNothing) {
  Make(1);
  window_->Close();
  EXPECT_TRUE(window_->Closed());
  EXPECT_TRUE(answers_.questions.empty());
}

TEST_F(StationWindowTest, AStationFileWithAFaultOpensNoSlotAndSaysWhere) {
  Make(2, station::RecipeFault{"/srv/line3.toml", 7, "image_sha256", "must be 64 hex digits"});
  EXPECT_EQ(window_->RunState(), StationRunState::kFault);
  EXPECT_TRUE(window_->FaultLabel.Visible());
  EXPECT_THAT(window_->FaultLabel.Caption(),
              HasSubstr("/srv/line3.toml, line 7, key image_sha256: must be 64 hex digits"));
  EXPECT_FALSE(window_->StartButton.Enabled());
  window_->StartClick();
  EXPECT_EQ(supervisors_made_, 0);
  EXPECT_EQ(launcher_.launches, 0);
  EXPECT_FALSE(window_->Tile(0).Panel().Visible());
}

TEST_F(StationWindowTest, TheHeaderNamesStationFileImageWithItsHashLogAndOperator) {
  Make(1);
  EXPECT_EQ(window_->StationName.Caption(), "line 3");
  EXPECT_THAT(window_->Sources.Caption(), HasSubstr("/srv/line3.toml"));
  EXPECT_THAT(window_->Sources.Caption(), HasSubstr("/srv/units.log"));
  EXPECT_THAT(window_->Sources.Caption(), HasSubstr("ann"));
  EXPECT_THAT(window_->ImageLine.Caption(), HasSubstr("unit.cry"));
  EXPECT_THAT(window_->ImageLine.Caption(), HasSubstr("0123456789ab..."));
  EXPECT_THAT(window_->ImageLine.Caption(), ::testing::Not(HasSubstr("0123456789abc")));
}

TEST_F(StationWindowTest, TilesFillTheRoomWithoutOverlapAndGrowWithTheWindow) {
  for (const size_t count : {1u, 2u, 4u, 5u, 8u, 16u}) {
    const Box room{8, 166, 900, 530};
    const std::vector<Box> boxes = GridBoxes(count, room, 6);
    ASSERT_EQ(boxes.size(), count);
    for (size_t i = 0; i < count; ++i) {
      const Box& a = boxes[i];
      EXPECT_GE(a.left, room.left);
      EXPECT_GE(a.top, room.top);
      EXPECT_LE(a.left + a.width, room.left + room.width);
      EXPECT_LE(a.top + a.height, room.top + room.height);
      // Readable at two metres: no tile smaller than its design size.
      EXPECT_GE(a.width, 200) << count;
      EXPECT_GE(a.height, 120) << count;
      for (size_t j = i + 1; j < count; ++j) {
        const Box& b = boxes[j];
        const bool apart = a.left + a.width <= b.left || b.left + b.width <= a.left ||
                           a.top + a.height <= b.top || b.top + b.height <= a.top;
        EXPECT_TRUE(apart) << count << ": " << i << " and " << j;
      }
    }
  }
  Make(4);
  const int before = window_->Tile(0).Panel().Width();
  window_->SetBorderStyle(tk::TBorderStyle::bsSizeable);
  window_->Resized(1900, 1000);
  EXPECT_GT(window_->Tile(0).Panel().Width(), before);
  EXPECT_GT(window_->Tile(0).VerdictField().Font().height,
            window_->Tile(0).Activity().Font().height);
}

}  // namespace
}  // namespace quarnel::station_window
