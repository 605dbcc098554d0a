#pragma once
// One headless run of the guided sequence: the window model driven as the
// operator would drive it, on the real clock, until the chain ends.
#include "app/cli/cli_options.h"
#include "station/exit_status.h"

namespace quarnel::cli {

ExitStatus RunGuidedSession(const ProgramRequest& request);

}  // namespace quarnel::cli
