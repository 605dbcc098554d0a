#pragma once
// How one unit's sequence ended, as the JSON events, the summary and the
// unit log carry it: the window's outcome with the exit status it gives.
#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>

#include "app/cli/outcome_report.h"
#include "ui/sequence_outcome.h"

namespace quarnel::cli {

struct UnitResult {
  std::string ending;  // EndingName(), or "could_not_start" when nothing began
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
};

// "programmed", "aborted_by_target", "no_answer_to_capture", ...
std::string EndingName(SequenceEnding ending);

UnitResult MakeUnitResult(const std::optional<SequenceOutcome>& outcome,
                          const SessionResult& result);

// A unit attempt is worth a log line unless it was stopped before any
// target answered (a station stopped while it waited for the next unit).
bool IsUnitAttempt(const UnitResult& result);

nlohmann::json ToJson(const UnitResult& result);
// Missing fields keep their defaults; throws nlohmann::json::exception on
// fields of the wrong type.
UnitResult UnitResultFromJson(const nlohmann::json& json);

}  // namespace quarnel::cli
