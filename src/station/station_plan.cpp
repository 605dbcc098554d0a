#include "station/station_plan.h"

#include "platform/append_file.h"
#include "platform/login_name.h"
#include "station/station_ports.h"

namespace quarnel::station {

std::string DefaultStationName() {
  const std::string host = platform::HostName();
  return host.empty() ? "station" : host;
}

std::string DefaultOperatorName() {
  return platform::LoginName();
}

std::vector<SlotPlan> PlanSlots(const std::vector<std::string>& names,
                                const std::vector<std::string>& spellings) {
  std::vector<SlotPlan> slots;
  const auto ports = PlanPorts(spellings, PortIdentity);
  for (size_t i = 0; i < ports.size(); ++i) {
    slots.push_back({names[i], ports[i].name, ports[i].duplicate_of});
  }
  return slots;
}

StationPlan PlanFromRecipe(const Recipe& recipe) {
  StationPlan plan;
  std::vector<std::string> names;
  std::vector<std::string> spellings;
  for (const RecipeSlot& slot : recipe.slots) {
    names.push_back(slot.name);
    spellings.push_back(slot.port);
  }
  plan.slots = PlanSlots(names, spellings);
  plan.image = recipe.image;
  plan.image_sha256 = recipe.image_sha256;
  plan.target_ids = recipe.target_ids;
  plan.log = recipe.log;
  plan.units = recipe.units;
  plan.capture_timeout_s = recipe.capture_timeout_s;
  plan.station_name = recipe.station.empty() ? DefaultStationName() : recipe.station;
  plan.operator_name = DefaultOperatorName();
  plan.recipe = RecipeRef{recipe.path, recipe.sha256};
  plan.wait_for_adapters = true;
  return plan;
}

}  // namespace quarnel::station
