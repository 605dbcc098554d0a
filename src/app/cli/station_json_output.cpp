#include "app/cli/station_json_output.h"

#include <chrono>

namespace quarnel::cli {
namespace {

station::EventSource SourceOf(const station::SlotPlan& slot) {
  return {slot.port, slot.name};
}

}  // namespace

void StationJsonOutput::Write(const std::string& line, OutputChannel::Kind kind) {
  out_.Write(line + "\n", kind);
}

void StationJsonOutput::Emit(size_t slot, const station::ChildEvent& event) {
  Write(station::EncodeEvent(event, std::chrono::system_clock::now(),
                             SourceOf(supervisor_.Slots()[slot].plan)),
        OutputChannel::Kind::kMustArrive);
}

void StationJsonOutput::ChildEventArrived(size_t slot, const station::TimedEvent& timed) {
  // As the child wrote it, at its time, with the port and the slot.
  // Progress and status events only tell how things go: a stalled reader
  // loses them rather than holding the station.
  const bool may_drop = std::holds_alternative<station::ProgressEvent>(timed.event) ||
                        std::holds_alternative<station::StatusEvent>(timed.event);
  Write(station::EncodeEvent(timed.event, timed.time, SourceOf(supervisor_.Slots()[slot].plan)),
        may_drop ? OutputChannel::Kind::kMayDrop : OutputChannel::Kind::kMustArrive);
}

void StationJsonOutput::ChildTextArrived(size_t slot, const std::string& text,
                                         const std::string& unreadable) {
  Emit(slot, station::MessageEvent{
                 unreadable.empty() ? text : "unreadable event (" + unreadable + "): " + text});
}

void StationJsonOutput::SlotNote(size_t slot, const std::string& text) {
  Emit(slot, station::MessageEvent{text});
}

void StationJsonOutput::UnitRecorded(size_t slot, const station::UnitResult& result,
                                     bool from_child) {
  // The child's own outcome event is passed on as it arrives.
  if (!from_child) Emit(slot, station::OutcomeEvent{result});
}

void StationJsonOutput::Draining(const std::string& reason) {
  // The whole station's word: no port of its own.
  Write(station::EncodeEvent(station::MessageEvent{reason + "; no new unit starts"},
                             std::chrono::system_clock::now()),
        OutputChannel::Kind::kMustArrive);
}

void StationJsonOutput::Finish(int exit_status) {
  std::vector<station::UnitResult> units;
  for (const station::SlotState& state : supervisor_.Slots()) {
    if (state.last) units.push_back(*state.last);
  }
  Write(station::EncodeSummary(units, exit_status, std::chrono::system_clock::now()),
        OutputChannel::Kind::kMustArrive);
}

}  // namespace quarnel::cli
