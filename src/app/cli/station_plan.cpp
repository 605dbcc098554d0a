#include "app/cli/station_plan.h"

#include <fstream>
#include <sstream>

#include "platform/append_file.h"
#include "platform/login_name.h"
#include "station/exit_status.h"
#include "station/recipe.h"
#include "station/station_ports.h"

namespace quarnel::cli {
namespace {

std::variant<std::vector<std::string>, PlanProblem> GatherPorts(const ProgramRequest& request) {
  std::vector<std::string> names = request.ports;
  if (request.ports_from) {
    std::ifstream file(*request.ports_from);
    if (!file) {
      return PlanProblem{kExitCouldNotStart,
                         "cannot read the port list " + *request.ports_from + " (--ports-from)"};
    }
    std::ostringstream text;
    text << file.rdbuf();
    for (std::string& name : station::ParsePortsFile(text.str())) names.push_back(std::move(name));
  }
  if (names.empty()) {
    return PlanProblem{
        kExitCouldNotStart,
        "no port to program: " + request.ports_from.value_or("the list") + " names none"};
  }
  return names;
}

}  // namespace

std::string DefaultStationName() {
  const std::string host = platform::HostName();
  return host.empty() ? "station" : host;
}

std::string DefaultOperatorName() {
  return platform::LoginName();
}

std::variant<StationPlan, PlanProblem> MakeStationPlan(const ProgramRequest& request) {
  StationPlan plan;
  std::vector<std::string> names;
  std::vector<std::string> spellings;
  if (request.recipe) {
    auto read = station::ReadRecipe(*request.recipe);
    if (const auto* fault = std::get_if<station::RecipeFault>(&read)) {
      return PlanProblem{kExitUsage, fault->Describe()};
    }
    station::Recipe& recipe = std::get<station::Recipe>(read);
    plan.image = recipe.image;
    plan.image_sha256 = recipe.image_sha256;
    plan.target_ids = recipe.target_ids;
    plan.log = recipe.log;
    plan.units = recipe.units;
    plan.capture_timeout_s = recipe.capture_timeout_s;
    plan.station_name = recipe.station;
    plan.recipe = station::RecipeRef{recipe.path, recipe.sha256};
    plan.wait_for_adapters = true;
    for (const station::RecipeSlot& slot : recipe.slots) {
      names.push_back(slot.name);
      spellings.push_back(slot.port);
    }
  } else {
    auto ports = GatherPorts(request);
    if (const auto* problem = std::get_if<PlanProblem>(&ports)) return *problem;
    spellings = std::get<std::vector<std::string>>(std::move(ports));
    names = spellings;
    plan.image = request.image;
    plan.image_sha256 = request.image_sha256;
    plan.target_ids = request.target_ids;
    plan.wait_for_adapters = request.station;
  }
  // What the command line gives beside a recipe overrides it.
  if (request.log) plan.log = request.log;
  if (request.units) plan.units = request.units;
  if (request.capture_timeout_s) plan.capture_timeout_s = request.capture_timeout_s;
  if (plan.station_name.empty()) plan.station_name = DefaultStationName();
  plan.operator_name = request.operator_name.value_or(DefaultOperatorName());
  plan.station_mode = request.station;
  plan.json = request.json;
  if (spellings.size() > station::kMostSlots) {
    return PlanProblem{kExitUsage, "a station drives at most " +
                                       std::to_string(station::kMostSlots) + " ports; " +
                                       std::to_string(spellings.size()) + " were given"};
  }
  const auto ports = station::PlanPorts(spellings, station::PortIdentity);
  for (size_t i = 0; i < ports.size(); ++i) {
    plan.slots.push_back({names[i], ports[i].name, ports[i].duplicate_of});
  }
  return plan;
}

}  // namespace quarnel::cli
