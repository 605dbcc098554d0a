#include "app/cli/json_events.h"

#include <chrono>

#include "app/cli/status_output.h"

namespace quarnel::cli {
namespace {

// A rate measured over less than this is no rate yet.
constexpr double kMinMeasuringTimeS = 0.5;

}  // namespace

void JsonEvents::Emit(const station::ChildEvent& event) {
  out_ << station::EncodeEvent(event, std::chrono::system_clock::now()) << '\n' << std::flush;
}

void JsonEvents::Status(const std::string& line) {
  Emit(station::StatusEvent{PrintableLine(line)});
}

void JsonEvents::Message(const std::string& text) {
  Emit(station::MessageEvent{text});
}

void JsonEvents::Phase(SequencePhase phase) {
  Emit(station::PhaseEvent{phase});
}

void JsonEvents::Progress(const ProgressSnapshot& p) {
  station::ProgressEvent event;
  event.blocks_sent = p.blocks_sent;
  event.blocks_total = p.blocks_total;
  event.bytes_sent = p.bytes_sent;
  event.bytes_total = p.bytes_total;
  if (p.elapsed_s >= kMinMeasuringTimeS && p.bytes_sent > 0) {
    event.bytes_per_s = static_cast<int64_t>(static_cast<double>(p.bytes_sent) / p.elapsed_s + 0.5);
  }
  Emit(event);
}

void JsonEvents::Outcome(const station::UnitResult& result) {
  Emit(station::OutcomeEvent{result});
}

}  // namespace quarnel::cli
