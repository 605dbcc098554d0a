#pragma once
// What quarnel-cli makes of the window's outcome: the exit status and the
// line it ends with on stderr.
#include <optional>
#include <string>

#include "operations/sequence_outcome.h"
#include "station/exit_status.h"

namespace quarnel::cli {

struct SessionResult {
  ExitStatus status;
  std::string reason;  // for the operator, on stderr
};

// `outcome` is how the sequence ended; `stop_signal` the signal that stopped
// the session (0: none): an operator's stop by a signal exits 128 + signal.
SessionResult ResultOf(const std::optional<SequenceOutcome>& outcome, int stop_signal);

// When the window read an image other than the one announced at the start
// (`announced_sha256`: the file was replaced meanwhile), a line that says
// which one the unit got; empty otherwise.
std::string ImageChangeNote(const SequenceOutcome& outcome, const std::string& announced_sha256);

}  // namespace quarnel::cli
