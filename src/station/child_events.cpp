#include "station/child_events.h"

#include <nlohmann/json.hpp>

#include "station/event_names.h"
#include "station/json_text.h"

namespace quarnel::station {
namespace {

using nlohmann::json;

json Fields(const StatusEvent& e) {
  return {{"event", "status"}, {"line", e.line}};
}
json Fields(const MessageEvent& e) {
  return {{"event", "message"}, {"text", e.text}};
}
json Fields(const PhaseEvent& e) {
  return {{"event", "phase"}, {"phase", PhaseName(e.phase)}};
}
json Fields(const ProgressEvent& e) {
  return {{"event", "progress"},
          {"blocks_sent", e.blocks_sent},
          {"blocks_total", e.blocks_total},
          {"bytes_sent", e.bytes_sent},
          {"bytes_total", e.bytes_total},
          {"bytes_per_s", e.bytes_per_s ? json(*e.bytes_per_s) : json()}};
}
json Fields(const OutcomeEvent& e) {
  json fields = ToJson(e.unit);
  fields["event"] = "outcome";
  return fields;
}

// A field that must be there, of type T; what is wrong names the field.
struct FieldProblem {
  std::string reason;
};
template <typename T>
T Field(const json& fields, const char* name) {
  const auto field = fields.find(name);
  if (field == fields.end()) throw FieldProblem{std::string("no \"") + name + "\""};
  try {
    return field->get<T>();
  } catch (const json::exception& error) {
    throw FieldProblem{std::string("\"") + name + "\": " + error.what()};
  }
}
template <typename T>
std::optional<T> OptionalField(const json& fields, const char* name) {
  const auto field = fields.find(name);
  if (field == fields.end() || field->is_null()) return std::nullopt;
  return Field<T>(fields, name);
}

// Throws FieldProblem for fields missing or of the wrong type; the caller
// says the line is unreadable then.
std::variant<ChildEvent, UnreadableEvent> Read(const std::string& kind, const json& fields) {
  if (kind == "status") return StatusEvent{Field<std::string>(fields, "line")};
  if (kind == "message") return MessageEvent{Field<std::string>(fields, "text")};
  if (kind == "phase") {
    const std::string name = Field<std::string>(fields, "phase");
    const auto phase = PhaseFromName(name);
    if (!phase) return UnreadableEvent{"unknown phase '" + name + "'"};
    return PhaseEvent{*phase};
  }
  if (kind == "progress") {
    ProgressEvent e;
    e.blocks_sent = Field<int64_t>(fields, "blocks_sent");
    e.blocks_total = Field<int64_t>(fields, "blocks_total");
    e.bytes_sent = OptionalField<uint64_t>(fields, "bytes_sent").value_or(0);
    e.bytes_total = OptionalField<uint64_t>(fields, "bytes_total").value_or(0);
    e.bytes_per_s = OptionalField<int64_t>(fields, "bytes_per_s");
    return e;
  }
  if (kind == "outcome") {
    std::string error;
    auto unit = UnitResultFromJson(fields, error);
    if (!unit) return UnreadableEvent{"outcome: " + error};
    return OutcomeEvent{std::move(*unit)};
  }
  return UnreadableEvent{"unknown event '" + kind + "'"};
}

}  // namespace

std::string EncodeEvent(const ChildEvent& event, EventTime time,
                        const std::optional<EventSource>& source) {
  json fields = std::visit([](const auto& e) { return Fields(e); }, event);
  fields["schema"] = kEventSchema;
  fields["time"] = UtcTimeText(time);
  if (source) {
    fields["port"] = source->port;
    fields["slot"] = source->slot;
  }
  return JsonLine(fields);
}

std::string EncodeSummary(const std::vector<UnitResult>& units, int exit_status, EventTime time) {
  json list = json::array();
  for (const UnitResult& unit : units) list.push_back(ToJson(unit));
  return JsonLine(json{{"schema", kEventSchema},
                       {"event", "summary"},
                       {"units", std::move(list)},
                       {"exit_status", exit_status},
                       {"time", UtcTimeText(time)}});
}

std::variant<TimedEvent, UnreadableEvent> DecodeEvent(std::string_view line) {
  const json fields = json::parse(line, nullptr, false);
  if (fields.is_discarded() || !fields.is_object()) return UnreadableEvent{"not a JSON object"};
  const auto kind = fields.find("event");
  if (kind == fields.end() || !kind->is_string()) return UnreadableEvent{"no \"event\""};
  const auto time_field = fields.find("time");
  const auto time = time_field != fields.end() && time_field->is_string()
                        ? ParseUtcTimeText(time_field->get<std::string>())
                        : std::nullopt;
  if (!time) return UnreadableEvent{"no readable \"time\""};
  try {
    auto event = Read(kind->get<std::string>(), fields);
    if (auto* unreadable = std::get_if<UnreadableEvent>(&event)) return std::move(*unreadable);
    return TimedEvent{std::get<ChildEvent>(std::move(event)), *time};
  } catch (const FieldProblem& problem) {
    return UnreadableEvent{problem.reason};
  }
}

}  // namespace quarnel::station
