#pragma once
// What quarnel-cli makes of the window's outcome: the exit status and the
// line it ends with on stderr.
#include <optional>
#include <string>

#include "app/cli/exit_status.h"
#include "ui/sequence_outcome.h"

namespace quarnel::cli {

struct SessionResult {
  ExitStatus status;
  std::string reason;  // for the operator, on stderr
};

// `outcome` is how the sequence ended; `stop_signal` the signal that stopped
// the session (0: none): an operator's stop by a signal exits 128 + signal.
SessionResult ResultOf(const std::optional<SequenceOutcome>& outcome, int stop_signal);

}  // namespace quarnel::cli
