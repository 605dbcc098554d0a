#pragma once
// The supervisor of a station: one child per slot and unit, started,
// watched, started again for the next unit (station mode) and stopped; what
// the children say, counted per slot. It owns no thread and no output: a
// front end feeds it what its queue delivers, ticks it at its deadlines and
// observes it.
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "station/child_launcher.h"
#include "station/slot_state.h"
#include "station/station_observer.h"
#include "station/supervisor_queue.h"

namespace quarnel::station {

class Supervisor {
 public:
  using Clock = std::chrono::steady_clock;

  struct Options {
    // Each slot programs unit after unit until stopped; otherwise one unit.
    bool station = false;
    // The SHA-256 of the image every child must program.
    std::string image_sha256;
    // The arguments of a slot's child.
    std::function<std::vector<std::string>(const SlotPlan&)> child_args;
    // The clock of restarts and the stop's grace; tests move it themselves.
    std::function<Clock::time_point()> now = [] { return Clock::now(); };
    // Stop taking units once this many were programmed in all.
    std::optional<int64_t> quota;
    // A slot whose adapter went away waits for it again (its children wait
    // for their port) instead of stopping.
    bool slots_wait_for_adapters = false;
  };

  // Children that have not ended this long after a stop request are killed.
  static constexpr auto kStopGrace = std::chrono::seconds(15);
  // Records the log could not take are tried again this often.
  static constexpr auto kRecordRetry = std::chrono::seconds(1);
  // Children are started this many at a time, this far apart, so that a
  // large station does not start all its processes at once.
  static constexpr size_t kStartBatch = 4;
  static constexpr auto kStartSpacing = std::chrono::milliseconds(250);
  // A station slot whose child ended sooner than this after its start waits
  // this long before the next one, so a fault that ends every child at once
  // does not start them in a tight loop.
  static constexpr auto kShortestRun = std::chrono::seconds(2);

  Supervisor(std::vector<SlotPlan> slots, Options options, ChildLauncher& launcher,
             UnitRecordSink* records = nullptr);
  ~Supervisor();
  Supervisor(const Supervisor&) = delete;
  Supervisor& operator=(const Supervisor&) = delete;

  void AddObserver(StationObserver& observer) { observers_.push_back(&observer); }

  // Starts a child for every slot that takes part.
  void Start();
  void Handle(const SupervisorInput& input);
  // Starts what is due and kills what outstayed a stop; call at NextDeadline().
  void Tick();
  std::optional<Clock::time_point> NextDeadline() const;
  // A first request asks every child to stop (each closes its port and
  // reports); a second one ends them at once.
  void RequestStop(int stop_signal);
  bool Stopping() const { return stopping_; }
  // No new unit starts: the units under way finish and are recorded, slots
  // that wait for a unit stop. `reason` is told to the observers.
  void Drain(const std::string& reason);
  bool Draining() const { return draining_; }
  // Station mode: while held (the front end cannot deliver what it must),
  // no new unit starts: the units under way finish, slots that wait for a
  // unit stop waiting, and all start again once released.
  void Hold(bool held);
  bool Held() const { return held_; }
  // Gives `unit_id` (a scanned serial number) to the slot's unit under way
  // when it has none yet, else to its next unit. An ID is never given to two
  // units: one that waits on another slot, or that a programmed unit of this
  // run carries, is refused (a unit that failed may be scanned again).
  enum class UnitIdAnswer { kGiven, kEmpty, kWaitsOnOtherSlot, kAlreadyProgrammed, kSlotDone };
  UnitIdAnswer AssignUnitId(size_t slot, const std::string& unit_id);
  // The slot a given ID waits on; none when no slot holds it.
  std::optional<size_t> SlotHoldingUnitId(const std::string& unit_id) const;
  // Units programmed in all.
  int64_t Programmed() const { return programmed_; }
  // Records are held back because the log cannot take them.
  bool RecordsHeldBack() const { return records_failing_; }
  // Every slot is done.
  bool Done() const;

  const std::vector<SlotState>& Slots() const { return slots_; }
  // 0 only when every unit was programmed; otherwise the highest exit status
  // of a unit (or of a slot that could not start).
  int ExitStatus() const { return worst_; }

 private:
  struct Child;
  void StartChild(size_t slot);
  void FailSlot(size_t slot, const std::string& reason);
  void HandleLine(const ChildLine& line);
  void HandleEvent(size_t slot, const TimedEvent& event);
  // The result as recorded (with the slot's scanned ID).
  UnitResult Record(size_t slot, UnitResult result, bool from_child);
  void Keep(size_t slot, const UnitResult& result);
  void RetryRecords();
  void Ended(size_t slot, int exit_status);
  void KillAll();
  void Note(size_t slot, const std::string& text);
  void Changed(size_t slot);
  void Worst(int exit_status);

  Options options_;
  ChildLauncher& launcher_;
  UnitRecordSink* records_;
  std::vector<StationObserver*> observers_;
  std::vector<SlotState> slots_;
  std::vector<Child> children_;
  std::set<std::string> programmed_ids_;
  bool stopping_ = false;
  bool killed_ = false;
  bool draining_ = false;
  int64_t programmed_ = 0;
  bool records_failing_ = false;
  bool held_ = false;
  Clock::time_point next_record_retry_{};
  Clock::time_point stop_deadline_{};
  int worst_ = 0;
};

}  // namespace quarnel::station
