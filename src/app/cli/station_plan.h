#pragma once
// What a station run is given: from a recipe, or from the ports and options
// of the command line. Options beside --recipe override the recipe's log,
// quota and capture limit; the recipe alone pins the image and the units
// allowed.
#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "app/cli/cli_options.h"
#include "station/slot_state.h"
#include "station/unit_log.h"

namespace quarnel::cli {

struct StationPlan {
  std::vector<station::SlotPlan> slots;  // the port as spelled by the operator
  std::string image;                     // as given
  std::optional<std::string> image_sha256;
  std::vector<std::string> target_ids;
  std::optional<std::string> log;
  std::optional<int64_t> units;
  std::optional<double> capture_timeout_s;
  std::string station_name;
  std::string operator_name;
  std::optional<station::RecipeRef> recipe;
  bool station_mode = false;
  bool json = false;
  // Slots wait for their adapter (a recipe's, and every --station slot).
  bool wait_for_adapters = false;
};

struct PlanProblem {
  int exit_status;
  std::string message;
};

// Reads the recipe or the port list the request names; a problem says what
// is wrong and with which exit status the run ends before any port opens.
std::variant<StationPlan, PlanProblem> MakeStationPlan(const ProgramRequest& request);

// The station's name when none is given: the machine's; the operator's: the
// login name.
std::string DefaultStationName();
std::string DefaultOperatorName();

}  // namespace quarnel::cli
