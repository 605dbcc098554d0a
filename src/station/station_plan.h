#pragma once
// What a station run is given, whichever front end runs it: its slots, the
// image with its pin, the units allowed, the log, a quota, the capture limit,
// who and where. A station file gives all of it; a command line may give it
// too, or override parts of a file.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "station/recipe.h"
#include "station/slot_state.h"
#include "station/unit_log.h"

namespace quarnel::station {

struct StationPlan {
  std::vector<SlotPlan> slots;  // the port as spelled by the operator
  std::string image;            // as given
  std::optional<std::string> image_sha256;
  std::vector<std::string> target_ids;
  std::optional<std::string> log;
  std::optional<int64_t> units;
  std::optional<double> capture_timeout_s;
  std::string station_name;
  std::string operator_name;
  std::optional<RecipeRef> recipe;
  bool station_mode = false;  // unit after unit, until stopped
  // Slots wait for their adapter (a recipe's, and every station mode slot).
  bool wait_for_adapters = false;
};

// The plan a station file gives; its station's name is the host's when the
// file names none, the operator the login name.
StationPlan PlanFromRecipe(const Recipe& recipe);

// Slots named `names` on the ports `spellings`; a slot whose port names the
// same device as an earlier one is marked as its duplicate.
std::vector<SlotPlan> PlanSlots(const std::vector<std::string>& names,
                                const std::vector<std::string>& spellings);

// The station's name when none is given: the machine's; the operator's: the
// login name.
std::string DefaultStationName();
std::string DefaultOperatorName();

}  // namespace quarnel::station
