#include "app/cli/station_text_output.h"

#include <algorithm>
#include <iostream>

#include "platform/terminal.h"
#include "station/event_names.h"

namespace quarnel::cli {
namespace {

using station::SlotActivity;
using station::SlotState;

// Of the image's blocks sent, in percent.
int PercentOf(const station::ProgressEvent& progress) {
  const int64_t total = std::max<int64_t>(progress.blocks_total, 1);
  return static_cast<int>(std::clamp<int64_t>(progress.blocks_sent * 100 / total, 0, 100));
}

}  // namespace

StationTextOutput::StationTextOutput(OutputChannel& out, OutputChannel& err,
                                     const station::Supervisor& supervisor, bool live,
                                     bool station_mode)
    : out_(out), err_(err), supervisor_(supervisor), live_(live), station_mode_(station_mode) {
  for (const SlotState& state : supervisor.Slots()) {
    port_width_ = std::max(port_width_, state.plan.port.size());
  }
  progress_steps_.assign(supervisor.Slots().size(), -1);
}

std::string StationTextOutput::Activity(const SlotState& state) {
  switch (state.activity) {
    case SlotActivity::kStarting:
      return "starting";
    case SlotActivity::kRunning:
      if (!state.phase) return "starting";
      // The one phase whose name is no single word.
      if (*state.phase == SequencePhase::kWaitingForAdapter) return "waiting for the adapter";
      return std::string(station::PhaseName(*state.phase));
    case SlotActivity::kRestartPause:
      return "waiting";
    case SlotActivity::kDone:
      return state.last ? std::string(station::EndingName(state.last->ending)) : "ended";
  }
  return "ended";
}

void StationTextOutput::PortLine(size_t slot, const std::string& text, bool notable) {
  const std::string line = supervisor_.Slots()[slot].plan.port + ": " + text;
  if (live_) {
    if (notable) out_.Write(view_.PrintAbove(line), OutputChannel::Kind::kMustArrive);
  } else {
    out_.Write(line + "\n",
               notable ? OutputChannel::Kind::kMustArrive : OutputChannel::Kind::kMayDrop);
  }
}

void StationTextOutput::ChildEventArrived(size_t slot, const station::TimedEvent& timed) {
  std::visit(
      [&](const auto& event) {
        using Event = std::decay_t<decltype(event)>;
        if constexpr (std::is_same_v<Event, station::StatusEvent>) {
          PortLine(slot, event.line, false);
        } else if constexpr (std::is_same_v<Event, station::MessageEvent>) {
          PortLine(slot, event.text, true);
        } else if constexpr (std::is_same_v<Event, station::PhaseEvent>) {
          if (event.phase != SequencePhase::kProgram) progress_steps_[slot] = -1;
          PortLine(slot, "phase " + std::string(station::PhaseName(event.phase)), false);
        } else if constexpr (std::is_same_v<Event, station::ProgressEvent>) {
          const int percent = PercentOf(event);
          const int step = percent / kProgressStepPercent;
          if (step == progress_steps_[slot]) return;
          progress_steps_[slot] = step;
          std::string text = "block " + std::to_string(event.blocks_sent) + " of " +
                             std::to_string(std::max<int64_t>(event.blocks_total, 1)) + ", " +
                             std::to_string(percent) + "%";
          if (event.bytes_per_s) text += ", " + std::to_string(*event.bytes_per_s) + " B/s";
          PortLine(slot, text, false);
        }
        // The outcome is told by UnitRecorded.
      },
      timed.event);
}

void StationTextOutput::ChildTextArrived(size_t slot, const std::string& text,
                                         const std::string& unreadable) {
  PortLine(slot, unreadable.empty() ? text : "unreadable event (" + unreadable + "): " + text,
           true);
}

void StationTextOutput::SlotNote(size_t slot, const std::string& text) {
  PortLine(slot, text, true);
}

void StationTextOutput::UnitRecorded(size_t slot, const station::UnitResult& result, bool) {
  progress_steps_[slot] = -1;
  std::string text = result.reason;
  if (result.exit_status != 0) text += " (exit status " + std::to_string(result.exit_status) + ")";
  PortLine(slot, text, true);
}

void StationTextOutput::SlotChanged(size_t) {
  dirty_ = true;
}

void StationTextOutput::Stopping() {
  if (!live_) err_.Write("quarnel-cli: stopping every port...\n", OutputChannel::Kind::kMustArrive);
}

void StationTextOutput::Draining(const std::string& reason) {
  const std::string line = "quarnel-cli: " + reason + "; no new unit starts";
  if (live_) {
    out_.Write(view_.PrintAbove(line), OutputChannel::Kind::kMustArrive);
  } else {
    err_.Write(line + "\n", OutputChannel::Kind::kMustArrive);
  }
}

void StationTextOutput::Draw(bool force) {
  if (!live_ || (!dirty_ && !force)) return;
  const auto now = Clock::now();
  if (!force && now - last_draw_ < kRedrawInterval) return;
  // A reader that has not taken the last redraw gets no new one now.
  if (!force && out_.Pending() > 0) return;
  const auto columns = platform::TerminalColumns(platform::StandardStream::kOutput);
  std::vector<std::string> lines;
  for (const SlotState& state : supervisor_.Slots()) {
    PortView view;
    view.port = state.plan.port;
    view.phase = Activity(state);
    if (state.progress && state.activity == SlotActivity::kRunning) {
      view.percent = PercentOf(*state.progress);
      view.bytes_per_s = state.progress->bytes_per_s;
    }
    view.station = station_mode_;
    view.passed = state.passed;
    view.failed = state.failed;
    lines.push_back(FitToColumns(FormatLiveLine(view, port_width_), columns));
  }
  out_.Write(view_.Draw(lines), OutputChannel::Kind::kMustArrive);
  last_draw_ = now;
  dirty_ = false;
}

std::optional<StationTextOutput::Clock::time_point> StationTextOutput::NextDraw() const {
  if (!live_ || !dirty_) return std::nullopt;
  return last_draw_ + kRedrawInterval;
}

void StationTextOutput::Finish() {
  if (live_) view_.Finish();
}

}  // namespace quarnel::cli
