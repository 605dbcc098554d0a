#include "station/unit_result.h"

#include <nlohmann/json.hpp>

#include "link/records.h"
#include "station/event_names.h"
#include "station/exit_status.h"

namespace quarnel::station {
namespace {

nlohmann::json OrNull(const auto& value) {
  return value ? nlohmann::json(*value) : nlohmann::json();
}

}  // namespace

UnitResult MakeUnitResult(const std::optional<SequenceOutcome>& outcome, int exit_status,
                          std::string reason) {
  UnitResult unit;
  unit.exit_status = exit_status;
  unit.reason = std::move(reason);
  if (!outcome) {
    unit.ending = SequenceEnding::kCouldNotStart;
    return unit;
  }
  unit.ending = outcome->ending;
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
  return !(result.ending == SequenceEnding::kStoppedByOperator && result.target_id.empty());
}

nlohmann::json ToJson(const UnitResult& r) {
  return nlohmann::json{
      {"ending", EndingName(r.ending)},
      {"port", r.port},
      {"target_id", r.target_id},
      {"status", r.status ? nlohmann::json(WordToHex(*r.status)) : nlohmann::json()},
      {"blocks_sent", r.blocks_sent},
      {"blocks_total", r.blocks_total},
      {"retransmissions", r.retransmissions},
      {"image_path", r.image_path},
      {"image_size", OrNull(r.image_size)},
      {"image_sha256", r.image_sha256},
      {"elapsed_ms", r.elapsed_ms},
      {"unit_elapsed_ms", OrNull(r.unit_elapsed_ms)},
      {"exit_status", r.exit_status},
      {"reason", r.reason},
      {"unit_id", OrNull(r.unit_id)},
      {"operator", r.operator_name},
      {"station", r.station},
      {"slot", r.slot}};
}

std::optional<UnitResult> UnitResultFromJson(const nlohmann::json& json, std::string& error) {
  try {
    UnitResult r;
    const std::string ending = json.value("ending", std::string("failed"));
    const auto known = EndingFromName(ending);
    if (!known) {
      error = "unknown ending '" + ending + "'";
      return std::nullopt;
    }
    r.ending = *known;
    r.port = json.value("port", std::string());
    r.target_id = json.value("target_id", std::string());
    if (json.contains("status") && json["status"].is_string()) {
      const std::string status = json["status"].get<std::string>();
      size_t used = 0;
      const unsigned long value = std::stoul(status, &used, 16);
      if (used != status.size() || value > 0xFFFF) {
        error = "status '" + status + "' is no status word";
        return std::nullopt;
      }
      r.status = static_cast<uint16_t>(value);
    }
    r.blocks_sent = json.value("blocks_sent", 0);
    r.blocks_total = json.value("blocks_total", 0);
    r.retransmissions = json.value("retransmissions", 0);
    r.image_path = json.value("image_path", std::string());
    if (json.contains("image_size") && !json["image_size"].is_null()) {
      r.image_size = json["image_size"].get<uint64_t>();
    }
    r.image_sha256 = json.value("image_sha256", std::string());
    r.elapsed_ms = json.value("elapsed_ms", int64_t{0});
    if (json.contains("unit_elapsed_ms") && !json["unit_elapsed_ms"].is_null()) {
      r.unit_elapsed_ms = json["unit_elapsed_ms"].get<int64_t>();
    }
    r.exit_status = json.value("exit_status", static_cast<int>(kExitFailed));
    r.reason = json.value("reason", std::string());
    if (json.contains("unit_id") && !json["unit_id"].is_null()) {
      r.unit_id = json["unit_id"].get<std::string>();
    }
    r.operator_name = json.value("operator", std::string());
    r.station = json.value("station", std::string());
    r.slot = json.value("slot", std::string());
    return r;
  } catch (const std::exception& failure) {
    // A field of the wrong type, or a status that is no number.
    error = failure.what();
    return std::nullopt;
  }
}

}  // namespace quarnel::station
