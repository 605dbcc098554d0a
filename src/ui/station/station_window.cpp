#include "ui/station/station_window.h"

#include <algorithm>
#include <cstdio>

#include "platform/stop_signal_watcher.h"
#include "toolkit/application.h"
#include "toolkit/event_loop.h"

namespace quarnel::station_window {
namespace {

constexpr uint16_t kEnter = 0x0D;
constexpr uint16_t kDigitOne = '1';
constexpr tk::TShiftState kCtrl = 4;
// An ID as a scanner types it: printable, and not longer than a record takes.
constexpr size_t kLongestUnitId = 128;
// Units per hour are told once the station has run this long.
constexpr int64_t kShortestRate = 60'000;

std::string Trimmed(const std::string& text) {
  const auto first = text.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return "";
  const auto last = text.find_last_not_of(" \t\r\n");
  return text.substr(first, last - first + 1);
}

bool Printable(const std::string& text) {
  return std::none_of(text.begin(), text.end(), [](char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 || byte == 0x7F;
  });
}

std::string ShortHash(const std::string& sha256) {
  return sha256.size() > 12 ? sha256.substr(0, 12) : sha256;
}

std::string FileName(const std::string& path) {
  const auto slash = path.find_last_of("/\\");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

std::string RunStateWords(StationRunState state, const std::string& drain_reason) {
  switch (state) {
    case StationRunState::kStopped:
      return "Stopped - press Start";
    case StationRunState::kRunning:
      return "Running";
    case StationRunState::kFinishing:
      return "Finishing: " + (drain_reason.empty() ? std::string("no new unit starts")
                                                   : drain_reason + "; no new unit starts");
    case StationRunState::kStopping:
      return "Stopping every slot...";
    case StationRunState::kFault:
      return "Cannot run: the station file has a fault";
  }
  return "";
}

std::string FaultWords(const station::RecipeFault& fault) {
  std::string words = fault.file;
  if (fault.line > 0) words += ", line " + std::to_string(fault.line);
  if (!fault.key.empty()) words += ", key " + fault.key;
  return words + ": " + fault.message;
}

StationWindow::StationWindow(Environment environment) : env_(std::move(environment)) {
  for (const station::SlotPlan& plan : env_.slots) {
    TileState tile;
    tile.name = plan.name;
    tile.port = plan.port;
    tiles_.push_back(tile);
  }
  in_unit_.assign(tiles_.size(), false);
  recorded_.assign(tiles_.size(), false);
  progress_due_.assign(tiles_.size(), false);
  if (env_.fault) run_state_ = StationRunState::kFault;
  BuildControls();
  Layout();
  for (size_t slot = 0; slot < tiles_.size(); ++slot) ShowTile(slot);
  ShowState();
  ShowCounters();
  ShowRecent();
}

StationWindow::~StationWindow() {
  // The supervisor ends its children before the controls go.
  supervisor_.reset();
}

StationWindow::Clock::time_point StationWindow::Now() const {
  return Clock::time_point(std::chrono::milliseconds(tk::MainLoop().NowMs()));
}

void StationWindow::BuildControls() {
  SetName("StationWindow");
  SetCaption("Quarnel Station - " + env_.header.station);
  SetBorderStyle(tk::TBorderStyle::bsSizeable);
  SetClientSize(1366 - 8, 768 - 60);
  SetKeyPreview(true);
  const tk::TFont plain{"MS Sans Serif", 13, false};
  SetFont(plain);
  const auto place = [this, &plain](tk::TControl& control, const std::string& name,
                                    const tk::TFont& font) {
    control.SetName(name);
    control.SetParent(this);
    control.SetFont(font);
  };
  place(StationName, "StationName", {"MS Sans Serif", 24, true});
  place(Sources, "Sources", plain);
  place(ImageLine, "ImageLine", plain);
  place(StartButton, "StartButton", {"MS Sans Serif", 16, true});
  place(StopButton, "StopButton", {"MS Sans Serif", 16, true});
  place(StateLabel, "StateLabel", {"MS Sans Serif", 16, true});
  place(CountersLabel, "CountersLabel", {"MS Sans Serif", 16, true});
  place(ScanLabel, "ScanLabel", {"MS Sans Serif", 14, true});
  place(ScanEdit, "ScanEdit", {"MS Sans Serif", 16, false});
  place(ScanAnswerLabel, "ScanAnswerLabel", {"MS Sans Serif", 14, false});
  place(ResetButton, "ResetButton", plain);
  place(RecentLabel, "RecentLabel", {"MS Sans Serif", 14, true});
  place(RecentList, "RecentList", {"Courier New", 13, false});
  place(FaultLabel, "FaultLabel", {"MS Sans Serif", 18, true, tk::RgbColor(0xB0, 0x00, 0x00)});
  FaultLabel.SetWordWrap(true);
  FaultLabel.SetVisible(env_.fault.has_value());
  if (env_.fault) {
    FaultLabel.SetCaption("This station file cannot be used, so no slot was opened:\n" +
                          FaultWords(*env_.fault) +
                          "\n\nAsk the engineer who looks after the station to correct it.");
  }

  StationName.SetCaption(env_.header.station.empty() ? "Station" : env_.header.station);
  const StationHeader& h = env_.header;
  Sources.SetCaption("Station file: " + h.recipe + "    Unit log: " +
                     (h.log.empty() ? "none" : h.log) + "    Operator: " + h.operator_name);
  ImageLine.SetCaption(h.image.empty() ? "Image: -"
                                       : "Image: " + FileName(h.image) + "  (SHA-256 " +
                                             ShortHash(h.image_sha256) + "...)");
  StartButton.SetCaption("Start");
  StopButton.SetCaption("Stop");
  ScanLabel.SetCaption("Scan unit ID:");
  ResetButton.SetCaption("Reset counters...");
  RecentLabel.SetCaption("Last units");
  RecentList.SetReadOnly(true);
  RecentList.SetVerticalScrollBar(true);

  StartButton.OnClick = [this](tk::TObject*) { StartClick(); };
  StopButton.OnClick = [this](tk::TObject*) { StopClick(); };
  ResetButton.OnClick = [this](tk::TObject*) { ResetCountersClick(); };
  OnKeyDown = [this](tk::TObject*, uint16_t& key, tk::TShiftState shift) {
    KeyPressed(key, shift);
  };
  OnCloseQuery = [this] { return CloseQuery(); };
  OnResize = [this](tk::TObject*) { Layout(); };

  TickTimer.SetEnabled(false);
  TickTimer.OnTimer = [this](tk::TObject*) {
    TickTimer.SetEnabled(false);
    if (supervisor_) supervisor_->Tick();
    AfterSupervisor();
  };
  // Units per hour move on with the clock.
  CountersTimer.SetEnabled(false);
  CountersTimer.SetInterval(5000);
  CountersTimer.OnTimer = [this](tk::TObject*) { ShowCounters(); };
  RefreshTimer.SetEnabled(false);
  RefreshTimer.SetInterval(kProgressRefreshMs);
  RefreshTimer.OnTimer = [this](tk::TObject*) {
    RefreshTimer.SetEnabled(false);
    for (size_t slot = 0; slot < tiles_.size(); ++slot) {
      if (progress_due_[slot]) ShowTile(slot);
    }
  };

  for (size_t slot = 0; slot < tiles_.size(); ++slot) {
    tile_controls_.push_back(
        std::make_unique<StationTile>(*this, slot + 1, [this, slot] { Choose(slot); }));
  }
}

void StationWindow::Layout() {
  const int w = ClientWidth();
  const int h = ClientHeight();
  constexpr int kMargin = 8;
  const int inner = w - 2 * kMargin;
  StationName.SetBounds(kMargin, 6, inner, 30);
  Sources.SetBounds(kMargin, 40, inner, 16);
  ImageLine.SetBounds(kMargin, 58, inner, 16);

  constexpr int kBarTop = 82;
  StartButton.SetBounds(kMargin, kBarTop, 110, 36);
  StopButton.SetBounds(kMargin + 118, kBarTop, 110, 36);
  const int counters_w = std::min(560, inner / 2);
  StateLabel.SetBounds(kMargin + 240, kBarTop + 8, inner - 240 - counters_w - 8, 22);
  CountersLabel.SetBounds(w - kMargin - counters_w, kBarTop + 8, counters_w, 22);

  constexpr int kScanTop = 126;
  ScanLabel.SetBounds(kMargin, kScanTop + 6, 120, 20);
  ScanEdit.SetBounds(kMargin + 124, kScanTop, 260, 30);
  ResetButton.SetBounds(w - kMargin - 150, kScanTop + 2, 150, 26);
  ScanAnswerLabel.SetBounds(kMargin + 396, kScanTop + 6, inner - 396 - 160, 20);

  constexpr int kMainTop = 166;
  const int list_w = std::clamp(inner / 3, 260, 440);
  const int list_left = w - kMargin - list_w;
  RecentLabel.SetBounds(list_left, kMainTop, list_w, 20);
  RecentList.SetBounds(list_left, kMainTop + 22, list_w, std::max(40, h - kMainTop - 22 - kMargin));
  const Box room{kMargin, kMainTop, std::max(1, list_left - 2 * kMargin),
                 std::max(1, h - kMainTop - kMargin)};
  FaultLabel.SetBounds(room.left, room.top, room.width, 120);
  const std::vector<Box> boxes = GridBoxes(tile_controls_.size(), room, 6);
  for (size_t slot = 0; slot < tile_controls_.size(); ++slot)
    tile_controls_[slot]->Place(boxes[slot]);
}

// ---- the station's news -----------------------------------------------------

void StationWindow::Deliver(const station::SupervisorInput& input) {
  if (!supervisor_) return;
  supervisor_->Handle(input);
  AfterSupervisor();
}

void StationWindow::SlotChanged(size_t slot) {
  if (!supervisor_ || slot >= tiles_.size()) return;
  const station::SlotState& state = supervisor_->Slots()[slot];
  TileState& tile = tiles_[slot];
  const TileActivity before = tile.activity;
  const std::optional<std::string> id_before = tile.unit_id;
  tile.activity = ActivityOf(state);
  tile.progress = state.progress;
  tile.unit_id = state.unit_id;
  tile.stopped_because = state.stopped_because;
  // A new program for the slot: whatever it does next is a new unit.
  if (tile.activity == TileActivity::kStarting && before != TileActivity::kStarting) {
    in_unit_[slot] = false;
    recorded_[slot] = false;
  }
  // The slot's next unit has started: the last one's verdict goes.
  bool only_progress = tile.activity == before && tile.unit_id == id_before;
  if (UnitUnderWay(tile.activity) && !in_unit_[slot] && !recorded_[slot]) {
    in_unit_[slot] = true;
    tile.verdict.reset();
    only_progress = false;
  }
  if (only_progress && tile.activity == TileActivity::kProgramming) {
    // Shown with the next refresh.
    progress_due_[slot] = true;
    if (!RefreshTimer.Enabled()) RefreshTimer.SetEnabled(true);
    return;
  }
  ShowTile(slot);
}

void StationWindow::UnitRecorded(size_t slot, const station::UnitResult& result, bool) {
  if (slot >= tiles_.size()) return;
  TileState& tile = tiles_[slot];
  if (result.ending == SequenceEnding::kCouldNotStart) {
    tile.stopped_because = result.reason;
    ShowTile(slot);
    return;
  }
  in_unit_[slot] = false;
  recorded_[slot] = true;
  const Verdict verdict = VerdictOf(result, std::chrono::system_clock::now());
  tile.verdict = verdict;
  (verdict.passed ? tile.counts.passed : tile.counts.failed) += 1;
  (verdict.passed ? counts_.passed : counts_.failed) += 1;
  if (verdict.passed && verdict.unit_id) programmed_ids_.insert(*verdict.unit_id);
  recent_.Add({tile.name, verdict});
  ShowTile(slot);
  ShowCounters();
  ShowRecent();
}

void StationWindow::SlotNote(size_t, const std::string&) {
  // What matters of a note reaches the tile through the slot's state.
}

void StationWindow::Stopping() {
  run_state_ = StationRunState::kStopping;
  ShowState();
}

void StationWindow::Draining(const std::string& reason) {
  if (run_state_ == StationRunState::kRunning) run_state_ = StationRunState::kFinishing;
  drain_reason_ = reason;
  ShowState();
}

void StationWindow::AfterSupervisor() {
  if (supervisor_ && supervisor_->Done() && run_state_ != StationRunState::kStopped) {
    run_state_ = StationRunState::kStopped;
    drain_reason_.clear();
    if (running_since_ms_) {
      counted_ms_ += tk::MainLoop().NowMs() - *running_since_ms_;
      running_since_ms_.reset();
    }
    CountersTimer.SetEnabled(false);
    ShowState();
    ShowCounters();
    if (close_when_stopped_) {
      close_when_stopped_ = false;
      OnCloseQuery = nullptr;
      Close();
      return;
    }
  }
  Schedule();
}

void StationWindow::Schedule() {
  if (!supervisor_) return;
  const auto deadline = supervisor_->NextDeadline();
  if (!deadline) {
    TickTimer.SetEnabled(false);
    return;
  }
  const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(*deadline - Now());
  TickTimer.SetInterval(static_cast<uint32_t>(std::max<int64_t>(1, wait.count())));
  TickTimer.SetEnabled(true);
}

// ---- the operator -----------------------------------------------------------

void StationWindow::StartClick() {
  if (run_state_ != StationRunState::kStopped || env_.fault || !env_.new_supervisor) return;
  supervisor_.reset();
  supervisor_ = env_.new_supervisor([this] { return Now(); });
  supervisor_->AddObserver(*this);
  for (size_t slot = 0; slot < tiles_.size(); ++slot) {
    in_unit_[slot] = false;
    recorded_[slot] = false;
  }
  run_state_ = StationRunState::kRunning;
  drain_reason_.clear();
  running_since_ms_ = tk::MainLoop().NowMs();
  CountersTimer.SetEnabled(true);
  ShowState();
  supervisor_->Start();
  AfterSupervisor();
}

void StationWindow::StopClick() {
  if (!supervisor_) return;
  if (run_state_ == StationRunState::kRunning) {
    // The units under way finish and are recorded; slots that wait stop.
    supervisor_->Drain("stopped by the operator");
  } else if (run_state_ == StationRunState::kFinishing) {
    // A second Stop: every slot stops its unit now, closing its port.
    supervisor_->RequestStop(platform::kStopSignalTerminate);
  }
  AfterSupervisor();
}

void StationWindow::ResetCountersClick() {
  if (!tk::Application::Instance().AskYesNo(
          "Set the counters of the station and of every slot to zero?"))
    return;
  counts_ = {};
  for (TileState& tile : tiles_) tile.counts = {};
  counted_ms_ = 0;
  if (running_since_ms_) running_since_ms_ = tk::MainLoop().NowMs();
  for (size_t slot = 0; slot < tiles_.size(); ++slot) ShowTile(slot);
  ShowCounters();
}

bool StationWindow::CloseQuery() {
  if (!supervisor_ || supervisor_->Done()) return true;
  if (close_when_stopped_) return false;  // stopping already; the window closes then
  if (!tk::Application::Instance().AskYesNo(
          "Units are being programmed. Stop every slot and close the station?"))
    return false;
  close_when_stopped_ = true;
  supervisor_->RequestStop(platform::kStopSignalTerminate);
  AfterSupervisor();
  return false;
}

void StationWindow::Choose(size_t slot) {
  if (slot >= tiles_.size()) return;
  const std::optional<size_t> before = chosen_;
  chosen_ = chosen_ == slot ? std::nullopt : std::optional<size_t>(slot);
  if (before) {
    tiles_[*before].chosen = false;
    ShowTile(*before);
  }
  if (chosen_) {
    tiles_[*chosen_].chosen = true;
    ShowTile(*chosen_);
  }
}

std::optional<size_t> StationWindow::SlotForScan() const {
  if (chosen_) return chosen_;
  for (size_t slot = 0; slot < tiles_.size(); ++slot) {
    const TileState& tile = tiles_[slot];
    if (tile.unit_id || tile.activity == TileActivity::kStopped ||
        tile.activity == TileActivity::kIdle || UnitUnderWay(tile.activity))
      continue;
    return slot;
  }
  return std::nullopt;
}

void StationWindow::Scan(const std::string& text) {
  const std::string id = Trimmed(text);
  ScanEdit.SetText("");
  if (id.empty()) return;
  if (id.size() > kLongestUnitId || !Printable(id)) {
    scan_answer_ = "Not a unit ID (1 to 128 printable characters): scan again";
  } else if (run_state_ != StationRunState::kRunning || !supervisor_) {
    scan_answer_ = id + ": the station does not run - press Start, then scan";
  } else if (programmed_ids_.count(id) != 0) {
    scan_answer_ = id + " was programmed already: not given again";
  } else if (const std::optional<size_t> slot = SlotForScan(); !slot) {
    scan_answer_ = id + ": no slot waits for a unit - click the slot's tile, then scan";
  } else {
    const std::string& name = tiles_[*slot].name;
    switch (supervisor_->AssignUnitId(*slot, id)) {
      case station::Supervisor::UnitIdAnswer::kGiven:
        scan_answer_ = id + " -> slot " + name;
        if (chosen_) Choose(*chosen_);
        SlotChanged(*slot);
        break;
      case station::Supervisor::UnitIdAnswer::kWaitsOnOtherSlot:
        scan_answer_ = id + " waits on slot " +
                       tiles_[supervisor_->SlotHoldingUnitId(id).value_or(0)].name +
                       " already: not given twice";
        break;
      case station::Supervisor::UnitIdAnswer::kAlreadyProgrammed:
        scan_answer_ = id + " was programmed already: not given again";
        break;
      case station::Supervisor::UnitIdAnswer::kSlotDone:
        scan_answer_ = id + ": slot " + name + " takes no unit now";
        break;
      case station::Supervisor::UnitIdAnswer::kEmpty:
        break;
    }
  }
  ScanAnswerLabel.SetCaption(scan_answer_);
}

void StationWindow::KeyPressed(uint16_t& key, tk::TShiftState shift) {
  if (key == kEnter && !ScanEdit.Text().empty()) {
    Scan(ScanEdit.Text());
    key = 0;
  } else if ((shift & kCtrl) != 0 && key >= kDigitOne && key < kDigitOne + 9) {
    Choose(static_cast<size_t>(key - kDigitOne));
    key = 0;
  }
}

// ---- what is shown ----------------------------------------------------------

void StationWindow::ShowTile(size_t slot) {
  progress_due_[slot] = false;
  tile_controls_[slot]->Show(tiles_[slot]);
}

void StationWindow::ShowState() {
  StateLabel.SetCaption(RunStateWords(run_state_, drain_reason_));
  const bool fault = run_state_ == StationRunState::kFault;
  StartButton.SetEnabled(run_state_ == StationRunState::kStopped);
  StopButton.SetEnabled(run_state_ == StationRunState::kRunning ||
                        run_state_ == StationRunState::kFinishing);
  StopButton.SetCaption(run_state_ == StationRunState::kFinishing ? "Stop now" : "Stop");
  ScanEdit.SetEnabled(!fault);
  for (const auto& tile : tile_controls_) tile->Panel().SetVisible(!fault);
  if (run_state_ == StationRunState::kStopped) {
    for (size_t slot = 0; slot < tiles_.size(); ++slot) {
      if (tiles_[slot].activity != TileActivity::kStopped) continue;
      tiles_[slot].activity = TileActivity::kIdle;
      tiles_[slot].progress.reset();
      ShowTile(slot);
    }
  }
}

int64_t StationWindow::RunningMs() const {
  return counted_ms_ + (running_since_ms_ ? tk::MainLoop().NowMs() - *running_since_ms_ : 0);
}

std::optional<double> StationWindow::UnitsPerHour() const {
  const int64_t ms = RunningMs();
  if (ms < kShortestRate || counts_.Total() == 0) return std::nullopt;
  return static_cast<double>(counts_.Total()) * 3'600'000.0 / static_cast<double>(ms);
}

void StationWindow::ShowCounters() {
  std::string rate = "-";
  if (const std::optional<double> per_hour = UnitsPerHour()) {
    char text[32];
    std::snprintf(text, sizeof text, "%.0f", *per_hour);
    rate = text;
  }
  CountersLabel.SetCaption("Passed " + std::to_string(counts_.passed) + "   Failed " +
                           std::to_string(counts_.failed) + "   Total " +
                           std::to_string(counts_.Total()) + "   Yield " + YieldWords(counts_) +
                           "   Units/h " + rate);
}

void StationWindow::ShowRecent() {
  RecentList.ClearLines();
  RecentList.AddLine(RecentHeading());
  for (const RecentUnit& unit : recent_.Units()) RecentList.AddLine(RecentLine(unit));
}

}  // namespace quarnel::station_window
