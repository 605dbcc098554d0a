#pragma once
// The station a command line asks for: a station file, or the ports and
// options given. Beside --recipe, --log, --units, --capture-timeout and
// --operator override the file's values; the file alone pins the image and
// the units allowed.
#include <string>
#include <variant>

#include "app/cli/cli_options.h"
#include "station/station_plan.h"

namespace quarnel::cli {

struct PlanProblem {
  int exit_status;
  std::string message;
};

// Reads the recipe or the port list the request names; a problem says what
// is wrong and with which exit status the run ends before any port opens.
std::variant<station::StationPlan, PlanProblem> MakeStationPlan(const ProgramRequest& request);

// The log, the image, the station file and the port list must be different
// files (compared as files, through links): a message when two are one.
std::optional<std::string> FilesThatMustDiffer(const ProgramRequest& request,
                                               const station::StationPlan& plan);

}  // namespace quarnel::cli
