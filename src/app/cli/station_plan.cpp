#include "app/cli/station_plan.h"

#include "platform/file_identity.h"
#include "platform/regular_file.h"
#include "station/exit_status.h"
#include "station/recipe.h"
#include "station/station_ports.h"

namespace quarnel::cli {
namespace {

// A list of ports is a short text: anything longer is no such list.
constexpr size_t kLongestPortList = 1 << 20;

std::variant<std::vector<std::string>, PlanProblem> GatherPorts(const ProgramRequest& request) {
  std::vector<std::string> names = request.ports;
  if (request.ports_from) {
    std::string error;
    const auto text = platform::ReadRegularFile(*request.ports_from, kLongestPortList, error);
    if (!text) {
      return PlanProblem{kExitCouldNotStart, "cannot read the port list " + *request.ports_from +
                                                 " (--ports-from): " + error};
    }
    for (std::string& name : station::ParsePortsFile(*text)) names.push_back(std::move(name));
  }
  if (names.empty()) {
    return PlanProblem{
        kExitCouldNotStart,
        "no port to program: " + request.ports_from.value_or("the list") + " names none"};
  }
  if (names.size() > station::kMostSlots) {
    return PlanProblem{kExitUsage, "a station drives at most " +
                                       std::to_string(station::kMostSlots) + " ports; " +
                                       std::to_string(names.size()) + " were given"};
  }
  return names;
}

}  // namespace

std::variant<station::StationPlan, PlanProblem> MakeStationPlan(const ProgramRequest& request) {
  station::StationPlan plan;
  if (request.recipe) {
    auto read = station::ReadRecipe(*request.recipe);
    if (const auto* fault = std::get_if<station::RecipeFault>(&read)) {
      return PlanProblem{kExitUsage, fault->Describe()};
    }
    plan = station::PlanFromRecipe(std::get<station::Recipe>(read));
  } else {
    auto ports = GatherPorts(request);
    if (const auto* problem = std::get_if<PlanProblem>(&ports)) return *problem;
    const auto& spellings = std::get<std::vector<std::string>>(ports);
    plan.slots = station::PlanSlots(spellings, spellings);
    plan.image = request.image;
    plan.image_sha256 = request.image_sha256;
    plan.target_ids = request.target_ids;
    plan.station_name = station::DefaultStationName();
    plan.operator_name = station::DefaultOperatorName();
    plan.wait_for_adapters = request.station;
  }
  // What the command line gives beside a recipe overrides it.
  if (request.log) plan.log = request.log;
  if (request.units) plan.units = request.units;
  if (request.capture_timeout_s) plan.capture_timeout_s = request.capture_timeout_s;
  if (request.operator_name) plan.operator_name = *request.operator_name;
  plan.station_mode = request.station;
  if (auto clash = FilesThatMustDiffer(request, plan)) return PlanProblem{kExitUsage, *clash};
  return plan;
}

std::optional<std::string> FilesThatMustDiffer(const ProgramRequest& request,
                                               const station::StationPlan& plan) {
  // The log is written; the others are read: a log named like one of them
  // would write into the firmware (or program a log as firmware).
  struct Named {
    const char* what;
    std::optional<std::string> path;
  };
  const std::vector<Named> files{{"the unit log", plan.log},
                                 {"the image", plan.image},
                                 {"the station file", request.recipe},
                                 {"the port list", request.ports_from}};
  for (size_t i = 0; i < files.size(); ++i) {
    for (size_t j = i + 1; j < files.size(); ++j) {
      if (files[i].path && files[j].path && platform::SameFile(*files[i].path, *files[j].path)) {
        return std::string(files[i].what) + " and " + files[j].what + " are one file (" +
               *files[i].path + "): name different files";
      }
    }
  }
  return std::nullopt;
}

}  // namespace quarnel::cli
