#pragma once
// Several ports at once, or one port unit after unit (--station): the
// program starts itself once per port and unit with --json, and the station
// library supervises those children, so a fault on one fixture cannot stop
// or slow another. What the operator sees are observers of it.
#include "app/cli/cli_options.h"
#include "station/exit_status.h"

namespace quarnel::cli {

// 0 only when every unit was programmed; otherwise the highest exit status
// of a unit (or of a port that could not start).
ExitStatus RunStation(const ProgramRequest& request);

}  // namespace quarnel::cli
