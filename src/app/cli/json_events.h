#pragma once
// quarnel-cli --json: the run's events on stdout, one JSON object a line,
// flushed at once, in the format the station library reads back
// (station/child_events.h).
#include <ostream>
#include <string>

#include "app/cli/progress_line.h"
#include "operations/sequence_outcome.h"
#include "station/child_events.h"

namespace quarnel::cli {

class JsonEvents {
 public:
  explicit JsonEvents(std::ostream& out) : out_(out) {}

  void Status(const std::string& line);
  void Message(const std::string& text);
  void Phase(SequencePhase phase);
  void Progress(const ProgressSnapshot& progress);
  void Outcome(const station::UnitResult& result);

 private:
  void Emit(const station::ChildEvent& event);
  std::ostream& out_;
};

}  // namespace quarnel::cli
