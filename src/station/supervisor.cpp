#include "station/supervisor.h"

#include <algorithm>

#include "platform/stop_signal_watcher.h"
#include "station/exit_status.h"

namespace quarnel::station {
namespace {

// Before the capture's answer (waiting for the adapter, opening the port,
// the capture itself) no unit is under way: the slot waits for one.
bool UnitUnderWay(const SlotState& state) {
  return state.phase && *state.phase != SequencePhase::kWaitingForAdapter &&
         *state.phase != SequencePhase::kOpening && *state.phase != SequencePhase::kCapture;
}

}  // namespace

struct Supervisor::Child {
  std::unique_ptr<RunningChild> runner;
  uint64_t run = 0;
  Clock::time_point started{};
  std::optional<Clock::time_point> restart_at;
  bool reported = false;           // the running child reported its outcome
  bool waits_for_release = false;  // held: started again once released
};

Supervisor::Supervisor(std::vector<SlotPlan> slots, Options options, ChildLauncher& launcher,
                       UnitRecordSink* records)
    : options_(std::move(options)), launcher_(launcher), records_(records) {
  for (SlotPlan& plan : slots) {
    SlotState state;
    state.plan = std::move(plan);
    slots_.push_back(std::move(state));
  }
  children_.resize(slots_.size());
}

// Out of line: Child is complete here. The children are ended and their
// readers joined before the slots go.
Supervisor::~Supervisor() {
  children_.clear();
}

void Supervisor::Start() {
  size_t started = 0;
  const auto now = options_.now();
  for (size_t slot = 0; slot < slots_.size(); ++slot) {
    const SlotPlan& plan = slots_[slot].plan;
    if (plan.duplicate_of) {
      FailSlot(slot, "the port " + plan.port + " was given twice (as " +
                         slots_[*plan.duplicate_of].plan.port + "); it is programmed once");
      continue;
    }
    // A few at a time: the rest follow at their turn (see Tick).
    const size_t batch = started++ / kStartBatch;
    if (batch == 0) {
      StartChild(slot);
    } else {
      children_[slot].restart_at = now + batch * kStartSpacing;
    }
  }
}

void Supervisor::StartChild(size_t slot) {
  Child& child = children_[slot];
  SlotState& state = slots_[slot];
  child.runner.reset();
  ++child.run;
  child.reported = false;
  child.started = options_.now();
  state.activity = SlotActivity::kStarting;
  state.phase.reset();
  state.progress.reset();
  try {
    const std::vector<std::string> args =
        options_.child_args ? options_.child_args(state.plan) : std::vector<std::string>{};
    child.runner = launcher_.Launch(slot, child.run, args);
  } catch (const std::exception& error) {
    // Whatever the child said before it was ended is of no run of the slot's.
    ++child.run;
    FailSlot(slot, std::string("could not start the program for this port: ") + error.what());
    return;
  }
  Changed(slot);
}

void Supervisor::FailSlot(size_t slot, const std::string& reason) {
  SlotState& state = slots_[slot];
  UnitResult result;
  result.ending = SequenceEnding::kCouldNotStart;
  result.port = state.plan.port;
  result.exit_status = kExitCouldNotStart;
  result.reason = reason;
  state.last = result;
  state.activity = SlotActivity::kDone;
  state.stopped_because = reason;
  Worst(kExitCouldNotStart);
  for (StationObserver* observer : observers_) observer->UnitRecorded(slot, result, false);
  Changed(slot);
}

void Supervisor::Handle(const SupervisorInput& input) {
  if (const auto* stop = std::get_if<StopRequest>(&input)) return RequestStop(stop->signal);
  if (const auto* line = std::get_if<ChildLine>(&input)) return HandleLine(*line);
  const auto& ended = std::get<ChildEnded>(input);
  if (ended.slot < slots_.size() && ended.run == children_[ended.slot].run) {
    Ended(ended.slot, ended.exit_status);
  }
}

void Supervisor::HandleLine(const ChildLine& line) {
  if (line.slot >= slots_.size() || line.run != children_[line.slot].run) return;
  if (line.event) return HandleEvent(line.slot, *line.event);
  for (StationObserver* observer : observers_) {
    observer->ChildTextArrived(line.slot, line.text, line.unreadable);
  }
}

void Supervisor::HandleEvent(size_t slot, const TimedEvent& timed) {
  SlotState& state = slots_[slot];
  std::optional<UnitResult> outcome;
  if (const auto* phase = std::get_if<PhaseEvent>(&timed.event)) {
    state.activity = SlotActivity::kRunning;
    state.phase = phase->phase;
    if (phase->phase != SequencePhase::kProgram) state.progress.reset();
  } else if (const auto* progress = std::get_if<ProgressEvent>(&timed.event)) {
    state.activity = SlotActivity::kRunning;
    state.progress = *progress;
  } else if (const auto* ended = std::get_if<OutcomeEvent>(&timed.event)) {
    children_[slot].reported = true;
    outcome = ended->unit;
    outcome->port = state.plan.port;
  }
  if (!outcome) {
    for (StationObserver* observer : observers_) observer->ChildEventArrived(slot, timed);
    Changed(slot);
    return;
  }
  // The outcome is passed on as recorded: with the unit's scanned ID.
  TimedEvent told = timed;
  std::get<OutcomeEvent>(told.event).unit = Record(slot, *outcome, true);
  for (StationObserver* observer : observers_) observer->ChildEventArrived(slot, told);
  Changed(slot);
}

Supervisor::UnitIdAnswer Supervisor::AssignUnitId(size_t slot, const std::string& unit_id) {
  if (unit_id.empty()) return UnitIdAnswer::kEmpty;
  if (slot >= slots_.size() || slots_[slot].activity == SlotActivity::kDone)
    return UnitIdAnswer::kSlotDone;
  if (programmed_ids_.count(unit_id) != 0) return UnitIdAnswer::kAlreadyProgrammed;
  const std::optional<size_t> holder = SlotHoldingUnitId(unit_id);
  if (holder && *holder != slot) return UnitIdAnswer::kWaitsOnOtherSlot;
  slots_[slot].unit_id = unit_id;
  Changed(slot);
  return UnitIdAnswer::kGiven;
}

std::optional<size_t> Supervisor::SlotHoldingUnitId(const std::string& unit_id) const {
  for (size_t slot = 0; slot < slots_.size(); ++slot) {
    if (slots_[slot].unit_id == unit_id) return slot;
  }
  return std::nullopt;
}

UnitResult Supervisor::Record(size_t slot, UnitResult result, bool from_child) {
  SlotState& state = slots_[slot];
  const bool attempt = IsUnitAttempt(result);
  // In station mode a child stopped while it waited for a unit is no unit,
  // and neither is a capture that timed out with no unit there.
  const bool nobody_came =
      result.ending == SequenceEnding::kNoAnswerToCapture && result.target_id.empty();
  if (options_.station && (!attempt || nobody_came)) return result;
  // The scanned ID belongs to this unit and to no later one.
  if (state.unit_id) {
    if (!result.unit_id) result.unit_id = std::move(*state.unit_id);
    state.unit_id.reset();
  }
  if (result.unit_id && result.exit_status == kExitOk) programmed_ids_.insert(*result.unit_id);
  state.last = result;
  Worst(result.exit_status);
  if (result.exit_status == kExitOk) {
    ++state.passed;
    ++programmed_;
  } else {
    ++state.failed;
  }
  for (StationObserver* observer : observers_) observer->UnitRecorded(slot, result, from_child);
  if (options_.quota && programmed_ >= *options_.quota && !draining_) {
    Drain("the station has programmed its " + std::to_string(*options_.quota) +
          (*options_.quota == 1 ? " unit" : " units"));
  }
  if (!result.image_sha256.empty() && !options_.image_sha256.empty() &&
      result.image_sha256 != options_.image_sha256) {
    // Cannot happen with the private copy; said loudly if it does.
    Note(slot, "the unit got an image with SHA-256 " + result.image_sha256 +
                   ", not the one checked at the start");
    Worst(kExitFailed);
  }
  if (records_ != nullptr && attempt) Keep(slot, result);
  return result;
}

void Supervisor::Keep(size_t slot, const UnitResult& result) {
  std::string error;
  if (records_->Keep(slots_[slot].plan, result, error)) return;
  // Nothing more is erased without a record: the units under way finish,
  // their records are held back and tried again, no new unit starts.
  Note(slot, "the unit log cannot take this unit's record (" + error +
                 "); it is kept to be written again");
  Worst(kExitCouldNotStart);
  if (!records_failing_) {
    records_failing_ = true;
    next_record_retry_ = options_.now() + kRecordRetry;
    Drain("the unit log cannot take records: " + error);
  }
}

void Supervisor::RetryRecords() {
  std::string error;
  if (records_->Retry(error)) {
    records_failing_ = false;
  } else {
    next_record_retry_ = options_.now() + kRecordRetry;
  }
}

void Supervisor::Ended(size_t slot, int exit_status) {
  Child& child = children_[slot];
  SlotState& state = slots_[slot];
  const bool lived_long = options_.now() - child.started >= kShortestRun;
  child.runner.reset();
  if (!child.reported) {
    // It ended without saying how: a crash, or killed. Its status is no
    // status of a unit: the record says what happened, with status 1.
    const bool unit_under_way = UnitUnderWay(state);
    const bool by_signal = exit_status > kExitSignalBase;
    UnitResult result;
    if (by_signal) {
      result.ending = SequenceEnding::kEndedBySignal;
    } else if (unit_under_way || !stopping_) {
      result.ending = SequenceEnding::kFailed;
    } else {
      result.ending = SequenceEnding::kStoppedByOperator;
    }
    result.port = state.plan.port;
    result.slot = state.plan.name;
    result.exit_status = kExitFailed;
    result.reason = by_signal ? "the program for this port was ended by signal " +
                                    std::to_string(exit_status - kExitSignalBase)
                              : "the program for this port ended without an outcome (status " +
                                    std::to_string(exit_status) + ")";
    result.target_id = unit_under_way ? "?" : "";
    // Killed while it waited for a unit: no unit was there.
    if (!by_signal || unit_under_way || !options_.station) Record(slot, result, false);
  }
  state.phase.reset();
  state.progress.reset();
  const bool port_unusable = exit_status == kExitCouldNotStart ||
                             (exit_status == kExitPortLost && !options_.slots_wait_for_adapters);
  if (!options_.station || stopping_ || draining_ || port_unusable) {
    state.activity = SlotActivity::kDone;
    if (options_.station && port_unusable && !stopping_) {
      state.stopped_because = state.last ? state.last->reason : "the port cannot be used";
      Note(slot, "this port stops; the others go on");
      Worst(exit_status);
    }
    Changed(slot);
    return;
  }
  if (held_) {
    state.activity = SlotActivity::kRestartPause;
    child.waits_for_release = true;
    Changed(slot);
    return;
  }
  if (lived_long) {
    StartChild(slot);
  } else {
    state.activity = SlotActivity::kRestartPause;
    child.restart_at = options_.now() + kShortestRun;
    Changed(slot);
  }
}

void Supervisor::RequestStop(int stop_signal) {
  if (stopping_) {
    // A second request: no more waiting.
    KillAll();
    return;
  }
  stopping_ = true;
  stop_deadline_ = options_.now() + kStopGrace;
  for (StationObserver* observer : observers_) observer->Stopping();
  for (Child& child : children_) {
    if (child.runner) child.runner->RequestStop(stop_signal);
  }
}

void Supervisor::Drain(const std::string& reason) {
  if (draining_ || stopping_) return;
  draining_ = true;
  for (StationObserver* observer : observers_) observer->Draining(reason);
  for (size_t slot = 0; slot < slots_.size(); ++slot) {
    Child& child = children_[slot];
    SlotState& state = slots_[slot];
    // A unit under way is seen to its end; a slot that waits stops waiting.
    if (child.runner && !UnitUnderWay(state))
      child.runner->RequestStop(platform::kStopSignalTerminate);
    if (!child.runner && child.restart_at) {
      child.restart_at.reset();
      state.activity = SlotActivity::kDone;
      Changed(slot);
    }
  }
}

void Supervisor::Hold(bool held) {
  if (!options_.station || held == held_) return;
  held_ = held;
  for (size_t slot = 0; slot < slots_.size(); ++slot) {
    Child& child = children_[slot];
    SlotState& state = slots_[slot];
    if (held) {
      if (child.runner && !UnitUnderWay(state))
        child.runner->RequestStop(platform::kStopSignalTerminate);
      if (!child.runner && child.restart_at) {
        child.restart_at.reset();
        child.waits_for_release = true;
      }
    } else if (child.waits_for_release) {
      child.waits_for_release = false;
      if (!stopping_ && !draining_) StartChild(slot);
    }
  }
}

void Supervisor::KillAll() {
  killed_ = true;
  for (Child& child : children_) {
    if (child.runner) child.runner->Kill();
  }
}

void Supervisor::Tick() {
  const auto now = options_.now();
  if (stopping_ && !killed_ && now >= stop_deadline_) KillAll();
  if (records_failing_ && now >= next_record_retry_) RetryRecords();
  for (size_t slot = 0; slot < slots_.size(); ++slot) {
    Child& child = children_[slot];
    if (child.waits_for_release && (stopping_ || draining_)) {
      child.waits_for_release = false;
      slots_[slot].activity = SlotActivity::kDone;
      Changed(slot);
    }
    if (!child.restart_at || (now < *child.restart_at && !stopping_)) continue;
    child.restart_at.reset();
    if (stopping_ || draining_) {
      slots_[slot].activity = SlotActivity::kDone;
      Changed(slot);
    } else {
      StartChild(slot);
    }
  }
}

std::optional<Supervisor::Clock::time_point> Supervisor::NextDeadline() const {
  std::optional<Clock::time_point> next;
  const auto earliest = [&next](Clock::time_point when) {
    if (!next || when < *next) next = when;
  };
  if (stopping_ && !killed_) earliest(stop_deadline_);
  if (records_failing_) earliest(next_record_retry_);
  for (const Child& child : children_) {
    if (child.restart_at) earliest(stopping_ ? options_.now() : *child.restart_at);
  }
  return next;
}

bool Supervisor::Done() const {
  return std::all_of(slots_.begin(), slots_.end(),
                     [](const SlotState& state) { return state.activity == SlotActivity::kDone; });
}

void Supervisor::Note(size_t slot, const std::string& text) {
  for (StationObserver* observer : observers_) observer->SlotNote(slot, text);
}

void Supervisor::Changed(size_t slot) {
  for (StationObserver* observer : observers_) observer->SlotChanged(slot);
}

void Supervisor::Worst(int exit_status) {
  worst_ = std::max(worst_, exit_status);
}

}  // namespace quarnel::station
