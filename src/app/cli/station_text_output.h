#pragma once
// What an operator sees of a station without --json: on a terminal one live
// line per port, redrawn in place, with what is worth reading printed above
// them; otherwise one line per event, prefixed with the port.
#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "app/cli/live_view.h"
#include "app/cli/output_channel.h"
#include "station/supervisor.h"

namespace quarnel::cli {

class StationTextOutput : public station::StationObserver {
 public:
  using Clock = std::chrono::steady_clock;

  // `live`: stdout is a terminal. Everything goes to `out`; a line that is
  // not worth keeping back the station may be dropped there.
  // The station's own notes go to `err`.
  StationTextOutput(OutputChannel& out, OutputChannel& err, const station::Supervisor& supervisor,
                    bool live, bool station_mode);

  void ChildEventArrived(size_t slot, const station::TimedEvent& event) override;
  void ChildTextArrived(size_t slot, const std::string& text,
                        const std::string& unreadable) override;
  void SlotNote(size_t slot, const std::string& text) override;
  void UnitRecorded(size_t slot, const station::UnitResult& result, bool from_child) override;
  void SlotChanged(size_t slot) override;
  void Stopping() override;
  void Draining(const std::string& reason) override;

  // Redraws the live lines when they changed, at most every kRedrawInterval
  // unless `force`.
  void Draw(bool force);
  // When the next redraw is due; none while nothing changed.
  std::optional<Clock::time_point> NextDraw() const;
  // Leaves the live lines where they are; what follows goes below them.
  void Finish();

  // The live line's words for a slot: its phase, or how it ended.
  static std::string Activity(const station::SlotState& state);

 private:
  static constexpr auto kRedrawInterval = std::chrono::milliseconds(200);
  // Prefixed progress lines: one for every step of this many percent.
  static constexpr int kProgressStepPercent = 10;

  // A line about one port: prefixed on a plain output; above the live lines
  // on a terminal when it is `notable`.
  void PortLine(size_t slot, const std::string& text, bool notable);

  OutputChannel& out_;
  OutputChannel& err_;
  const station::Supervisor& supervisor_;
  bool live_;
  bool station_mode_;
  LiveView view_;
  size_t port_width_ = 4;
  std::vector<int> progress_steps_;
  bool dirty_ = true;
  Clock::time_point last_draw_{};
};

}  // namespace quarnel::cli
