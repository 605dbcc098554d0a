#include "app/cli/unit_result.h"

#include <cstdio>

namespace quarnel::cli {
namespace {

std::string Hex4(uint16_t value) {
  char text[8];
  std::snprintf(text, sizeof text, "%04X", value);
  return text;
}

}  // namespace

std::string EndingName(SequenceEnding ending) {
  switch (ending) {
    case SequenceEnding::kProgrammed:
      return "programmed";
    case SequenceEnding::kAbortedByTarget:
      return "aborted_by_target";
    case SequenceEnding::kNoAnswerToCapture:
      return "no_answer_to_capture";
    case SequenceEnding::kNoAnswerToErase:
      return "no_answer_to_erase";
    case SequenceEnding::kNoAnswerToDataRecord:
      return "no_answer_to_data_record";
    case SequenceEnding::kNoAnswerToReset:
      return "no_answer_to_reset";
    case SequenceEnding::kImageRefused:
      return "image_refused";
    case SequenceEnding::kPortNotOpened:
      return "port_not_opened";
    case SequenceEnding::kPortLost:
      return "port_lost";
    case SequenceEnding::kStoppedByOperator:
      return "stopped_by_operator";
    case SequenceEnding::kResetBeforeProgramming:
      return "reset_before_programming";
    case SequenceEnding::kStalled:
      return "stalled";
    case SequenceEnding::kFailed:
      return "failed";
  }
  return "failed";
}

UnitResult MakeUnitResult(const std::optional<SequenceOutcome>& outcome,
                          const SessionResult& result) {
  UnitResult unit;
  unit.exit_status = result.status;
  unit.reason = result.reason;
  if (!outcome) {
    unit.ending = "could_not_start";
    return unit;
  }
  unit.ending = EndingName(outcome->ending);
  unit.port = outcome->port;
  unit.target_id = outcome->target_id;
  unit.status = outcome->status;
  unit.blocks_sent = outcome->blocks_sent;
  unit.blocks_total = outcome->blocks_total;
  unit.retransmissions = outcome->retransmissions;
  unit.image_path = outcome->image_path;
  unit.image_size = outcome->image_size;
  unit.image_sha256 = outcome->image_sha256;
  unit.elapsed_ms = outcome->elapsed_ms;
  return unit;
}

bool IsUnitAttempt(const UnitResult& result) {
  return !(result.ending == "stopped_by_operator" && result.target_id.empty());
}

nlohmann::json ToJson(const UnitResult& r) {
  nlohmann::json json{
      {"ending", r.ending},
      {"port", r.port},
      {"target_id", r.target_id},
      {"status", r.status ? nlohmann::json(Hex4(*r.status)) : nlohmann::json()},
      {"blocks_sent", r.blocks_sent},
      {"blocks_total", r.blocks_total},
      {"retransmissions", r.retransmissions},
      {"image_path", r.image_path},
      {"image_size", r.image_size ? nlohmann::json(*r.image_size) : nlohmann::json()},
      {"image_sha256", r.image_sha256},
      {"elapsed_ms", r.elapsed_ms},
      {"unit_elapsed_ms",
       r.unit_elapsed_ms ? nlohmann::json(*r.unit_elapsed_ms) : nlohmann::json()},
      {"exit_status", r.exit_status},
      {"reason", r.reason}};
  return json;
}

UnitResult UnitResultFromJson(const nlohmann::json& json) {
  UnitResult r;
  r.ending = json.value("ending", std::string("failed"));
  r.port = json.value("port", std::string());
  r.target_id = json.value("target_id", std::string());
  if (json.contains("status") && json["status"].is_string()) {
    r.status = static_cast<uint16_t>(std::stoul(json["status"].get<std::string>(), nullptr, 16));
  }
  r.blocks_sent = json.value("blocks_sent", 0);
  r.blocks_total = json.value("blocks_total", 0);
  r.retransmissions = json.value("retransmissions", 0);
  r.image_path = json.value("image_path", std::string());
  if (json.contains("image_size") && json["image_size"].is_number_unsigned()) {
    r.image_size = json["image_size"].get<uint64_t>();
  }
  r.image_sha256 = json.value("image_sha256", std::string());
  r.elapsed_ms = json.value("elapsed_ms", int64_t{0});
  if (json.contains("unit_elapsed_ms") && json["unit_elapsed_ms"].is_number()) {
    r.unit_elapsed_ms = json["unit_elapsed_ms"].get<int64_t>();
  }
  r.exit_status = json.value("exit_status", 1);
  r.reason = json.value("reason", std::string());
  return r;
}

}  // namespace quarnel::cli
