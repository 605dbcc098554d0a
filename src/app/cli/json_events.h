#pragma once
// quarnel-cli --json: one JSON object a line on stdout, flushed at once.
// Every event has "event" and "time" (UTC, ISO 8601 with milliseconds):
//   status    a line of the status display: "line"
//   message   what the plain output says on stderr: "text"
//   phase     where the sequence is: "phase" (opening, capture, erase,
//             program, reset, ended)
//   progress  "blocks_sent", "blocks_total", "bytes_sent", "bytes_total",
//             "bytes_per_s" (null until it can be measured)
//   outcome   the ending, last: the fields of UnitResult
#include <chrono>
#include <nlohmann/json.hpp>
#include <ostream>
#include <string>

#include "app/cli/progress_line.h"
#include "app/cli/unit_result.h"

namespace quarnel::cli {

// "2026-12-09T04:05:06.789Z"
std::string UtcTimeText(std::chrono::system_clock::time_point when);

class JsonEvents {
 public:
  explicit JsonEvents(std::ostream& out) : out_(out) {}

  void Status(const std::string& line);
  void Message(const std::string& text);
  void Phase(const std::string& phase);
  void Progress(const ProgressSnapshot& progress);
  void Outcome(const UnitResult& result);

 private:
  void Emit(nlohmann::json event);
  std::ostream& out_;
};

}  // namespace quarnel::cli
