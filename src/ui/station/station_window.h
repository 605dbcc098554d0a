#pragma once
// The station window as a plain model: a tile per slot, the station's
// counters, Start and Stop, a scan field and the last units. It observes the
// station library's supervisor and changes no setting: the slots, the image,
// the log and everything else come from the station file. The Qt and Win32
// views render it; tests drive it with scripted station events on a virtual
// clock.
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "station/recipe.h"
#include "station/supervisor.h"
#include "toolkit/controls.h"
#include "ui/station/recent_units.h"
#include "ui/station/station_tile.h"
#include "ui/station/tile_state.h"

namespace quarnel::station_window {

// What the header names: where everything comes from.
struct StationHeader {
  std::string station;
  std::string recipe;  // the station file
  std::string image;   // its path
  std::string image_sha256;
  std::string log;  // empty: no unit log
  std::string operator_name;
};

enum class StationRunState {
  kStopped,    // no slot runs; Start starts them
  kRunning,    // every slot takes unit after unit
  kFinishing,  // Stop: the units under way finish, no new unit starts
  kStopping,   // every slot is asked to stop its unit now
  kFault,      // the station file cannot be used: nothing runs
};

class StationWindow : public tk::TForm, public station::StationObserver {
 public:
  using Clock = station::Supervisor::Clock;
  struct Environment {
    StationHeader header;
    std::vector<station::SlotPlan> slots;
    // Set when the station file (or what it names) cannot be used: shown
    // with its file, line and key, and no slot is opened.
    std::optional<station::RecipeFault> fault;
    // A new supervisor of the slots for each Start, on the clock given
    // (the window's loop), with the window as an observer added by it.
    std::function<std::unique_ptr<station::Supervisor>(std::function<Clock::time_point()> now)>
        new_supervisor;
  };

  explicit StationWindow(Environment environment);
  ~StationWindow() override;

  // What the station's queue delivers, in order.
  void Deliver(const station::SupervisorInput& input);

  // The operator's actions, as the controls run them.
  void StartClick();
  void StopClick();
  void ResetCountersClick();
  // The scan field's text with Enter: the ID goes to the chosen slot, or to
  // the first slot that waits for a unit.
  void Scan(const std::string& text);
  // Click on a tile or Ctrl+its number: the next scan goes to that slot
  // (again: to none).
  void Choose(size_t slot);

  // What the window shows, as values.
  StationRunState RunState() const { return run_state_; }
  const std::vector<TileState>& Tiles() const { return tiles_; }
  const SlotCounts& StationCounts() const { return counts_; }
  // None before the first unit or the first minute.
  std::optional<double> UnitsPerHour() const;
  const RecentUnits& Recent() const { return recent_; }
  const std::string& ScanAnswer() const { return scan_answer_; }
  const station::Supervisor* Supervisor() const { return supervisor_.get(); }

  // StationObserver
  void UnitRecorded(size_t slot, const station::UnitResult& result, bool from_child) override;
  void SlotChanged(size_t slot) override;
  void SlotNote(size_t slot, const std::string& text) override;
  void Stopping() override;
  void Draining(const std::string& reason) override;

  // The controls, by their names in the window.
  tk::TLabel StationName{this};
  tk::TLabel Sources{this};
  tk::TLabel ImageLine{this};
  tk::TButton StartButton{this};
  tk::TButton StopButton{this};
  tk::TLabel StateLabel{this};
  tk::TLabel CountersLabel{this};
  tk::TLabel ScanLabel{this};
  tk::TEdit ScanEdit{this};
  tk::TLabel ScanAnswerLabel{this};
  tk::TButton ResetButton{this};
  tk::TLabel RecentLabel{this};
  tk::TMemo RecentList{this};
  tk::TLabel FaultLabel{this};
  tk::TTimer TickTimer{this};
  tk::TTimer CountersTimer{this};
  // Progress is shown this often at most: a bar and a percentage need no
  // more, and a station of many slots sends a progress event per block.
  static constexpr uint32_t kProgressRefreshMs = 1000;
  tk::TTimer RefreshTimer{this};
  StationTile& Tile(size_t slot) { return *tile_controls_[slot]; }

 private:
  void BuildControls();
  void Layout();
  void ShowTile(size_t slot);
  void ShowState();
  void ShowCounters();
  void ShowRecent();
  void AfterSupervisor();
  void Schedule();
  void KeyPressed(uint16_t& key, tk::TShiftState shift);
  bool CloseQuery();
  std::optional<size_t> SlotForScan() const;
  Clock::time_point Now() const;
  int64_t RunningMs() const;

  Environment env_;
  std::vector<TileState> tiles_;
  std::vector<std::unique_ptr<StationTile>> tile_controls_;
  // Per slot: its unit under way has begun, and the slot's program has
  // recorded its unit already.
  std::vector<bool> in_unit_;
  std::vector<bool> recorded_;
  // Per slot: progress not shown yet.
  std::vector<bool> progress_due_;
  std::unique_ptr<station::Supervisor> supervisor_;
  StationRunState run_state_ = StationRunState::kStopped;
  std::string drain_reason_;
  SlotCounts counts_;
  RecentUnits recent_;
  std::string scan_answer_;
  std::optional<size_t> chosen_;
  // IDs of units programmed while this window was open: never given again.
  std::set<std::string> programmed_ids_;
  // The time counted for units per hour: running time since the counters
  // were last set to zero.
  int64_t counted_ms_ = 0;
  std::optional<int64_t> running_since_ms_;
  bool close_when_stopped_ = false;
};

// "Stopped - press Start", "Running", ...
std::string RunStateWords(StationRunState state, const std::string& drain_reason);
// "FILE, line N, key KEY: MESSAGE"
std::string FaultWords(const station::RecipeFault& fault);

}  // namespace quarnel::station_window
