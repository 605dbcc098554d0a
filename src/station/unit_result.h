#pragma once
// How one unit's sequence ended, as the outcome event, the summary and the
// unit log carry it: the window's outcome with the exit status it gives.
#include <cstdint>
#include <nlohmann/json_fwd.hpp>
#include <optional>
#include <string>

#include "operations/sequence_outcome.h"

namespace quarnel::station {

struct UnitResult {
  SequenceEnding ending = SequenceEnding::kFailed;
  std::string port;
  std::string target_id;           // empty: no target answered
  std::optional<uint16_t> status;  // the status word, as in the outcome
  int32_t blocks_sent = 0;
  int32_t blocks_total = 0;
  int32_t retransmissions = 0;
  std::string image_path;
  std::optional<uint64_t> image_size;
  std::string image_sha256;
  int64_t elapsed_ms = 0;  // from Connect to the ending
  // From the target's answer to the capture (the unit arrived) to the
  // ending; none when no target answered.
  std::optional<int64_t> unit_elapsed_ms;
  int exit_status = 0;
  std::string reason;  // the closing line's text
  // Who and where: the unit's own ID (a scanned serial number) when it has
  // one, the operator, the station and the slot.
  std::optional<std::string> unit_id;
  std::string operator_name;
  std::string station;
  std::string slot;

  bool operator==(const UnitResult&) const = default;
};

// The unit's result from the window's outcome (none: nothing began, the
// ending is kCouldNotStart), with the exit status and closing line it gives.
UnitResult MakeUnitResult(const std::optional<SequenceOutcome>& outcome, int exit_status,
                          std::string reason);

// A unit attempt is worth a record unless it was stopped before any target
// answered (a station stopped while it waited for the next unit).
bool IsUnitAttempt(const UnitResult& result);

// The fields of an outcome event.
nlohmann::json ToJson(const UnitResult& result);
// Missing fields keep their defaults (an outcome cut short reads as failed,
// exit status 1); none, with `error` set, for an unknown ending or a field
// of the wrong type.
std::optional<UnitResult> UnitResultFromJson(const nlohmann::json& json, std::string& error);

}  // namespace quarnel::station
