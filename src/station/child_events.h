#pragma once
// The events of one port's run (quarnel-cli --json): written by the run,
// one JSON object a line, and read back by the supervisor of a station, here
// and nowhere else. Every event carries "schema", "event" and "time"; a
// supervisor that passes them on adds "port" and "slot".
//   status    a line of the status display: "line"
//   message   what the plain output says on stderr: "text"
//   phase     where the sequence is: "phase" (opening, capture, erase,
//             program, reset, ended)
//   progress  "blocks_sent", "blocks_total", "bytes_sent", "bytes_total",
//             "bytes_per_s" (null until it can be measured)
//   outcome   how the unit ended, last: the fields of UnitResult
// and, from a supervisor only, a last "summary": "units" (every port's last
// outcome) and "exit_status".
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "operations/sequence_outcome.h"
#include "station/unit_result.h"

namespace quarnel::station {

// Every event says which version of the format it follows. Within a version
// fields are added, never renamed or removed.
inline constexpr char kEventSchema[] = "quarnel.event/1";

struct StatusEvent {
  std::string line;
  bool operator==(const StatusEvent&) const = default;
};
struct MessageEvent {
  std::string text;
  bool operator==(const MessageEvent&) const = default;
};
struct PhaseEvent {
  SequencePhase phase = SequencePhase::kOpening;
  bool operator==(const PhaseEvent&) const = default;
};
struct ProgressEvent {
  int64_t blocks_sent = 0;
  int64_t blocks_total = 0;
  uint64_t bytes_sent = 0;
  uint64_t bytes_total = 0;
  std::optional<int64_t> bytes_per_s;  // none until it can be measured
  bool operator==(const ProgressEvent&) const = default;
};
struct OutcomeEvent {
  UnitResult unit;
  bool operator==(const OutcomeEvent&) const = default;
};

using ChildEvent = std::variant<StatusEvent, MessageEvent, PhaseEvent, ProgressEvent, OutcomeEvent>;
using EventTime = std::chrono::system_clock::time_point;

struct TimedEvent {
  ChildEvent event;
  EventTime time;  // to the millisecond
  bool operator==(const TimedEvent&) const = default;
};

// Where a supervisor says an event it passes on comes from.
struct EventSource {
  std::string port;
  std::string slot;
};

// The event as one line (without its line end); with its source when a
// supervisor passes it on.
std::string EncodeEvent(const ChildEvent& event, EventTime time,
                        const std::optional<EventSource>& source = std::nullopt);

// The supervisor's last event.
std::string EncodeSummary(const std::vector<UnitResult>& units, int exit_status, EventTime time);

struct UnreadableEvent {
  std::string reason;
};
// Reads a line that EncodeEvent wrote. A line that is no JSON object with an
// "event", an unknown kind of event, or fields that do not fit are
// unreadable, with the reason.
std::variant<TimedEvent, UnreadableEvent> DecodeEvent(std::string_view line);

}  // namespace quarnel::station
