#include "app/station/station_program.h"

#include <filesystem>

#include "operations/utf8_path.h"
#include "platform/child_process.h"
#include "platform/user_setting.h"
#include "station/recipe.h"
#include "toolkit/controls.h"

namespace quarnel::station_app {

namespace {

constexpr char kProgramName[] = "quarnel-station";
constexpr char kLastStationFile[] = "lastStationFile";

}  // namespace

bool AskForStationFile(const std::string& filter, std::string& path) {
  tk::TOpenDialog dialog;
  dialog.Filter = filter;
  dialog.DefaultExt = "toml";
  dialog.FileName = platform::ReadUserSetting(kProgramName, kLastStationFile).value_or("");
  if (!dialog.Execute()) return false;
  path = dialog.FileName;
  return true;
}

void RememberStationFile(const std::string& path) {
  std::error_code error;
  const std::filesystem::path absolute = std::filesystem::absolute(PathFromUtf8(path), error);
  if (error) return;
  // Nothing lost when it cannot be kept: the dialog then offers no file.
  platform::WriteUserSetting(kProgramName, kLastStationFile, Utf8FromPath(absolute));
}

std::string ChildProgramPath() {
  const std::filesystem::path own(platform::OwnProgramPath());
#ifdef _WIN32
  return (own.parent_path() / "quarnel-cli.exe").string();
#else
  return (own.parent_path() / "quarnel-cli").string();
#endif
}

StationProgram::StationProgram(const std::string& recipe_path) : recipe_path_(recipe_path) {
  std::variant<station::Recipe, station::RecipeFault> read = station::ReadRecipe(recipe_path);
  if (auto* fault = std::get_if<station::RecipeFault>(&read)) {
    fault_ = *fault;
    return;
  }
  const station::Recipe& recipe = std::get<station::Recipe>(read);
  recipe_path_ = recipe.path;
  plan_ = station::PlanFromRecipe(recipe);
  plan_.station_mode = true;
  plan_.wait_for_adapters = true;
  if (plan_.log) {
    try {
      log_.emplace(*plan_.log, station::RunRecordContext(plan_));
    } catch (const std::runtime_error& error) {
      Fail("log", error.what());
      return;
    }
  }
  auto prepared = station::PrepareStationImage(plan_);
  if (const auto* problem = std::get_if<std::string>(&prepared)) {
    Fail("image", *problem);
    return;
  }
  image_.emplace(std::move(std::get<station::StationImage>(prepared)));
  if (log_) records_.emplace(*log_, image_->path);
  launcher_ = std::make_unique<station::ProcessLauncher>(queue_, ChildProgramPath());
}

StationProgram::~StationProgram() = default;

void StationProgram::Fail(const std::string& key, const std::string& message) {
  fault_ = station::RecipeFault{recipe_path_, 0, key, message};
}

station_window::StationWindow::Environment StationProgram::Environment() {
  station_window::StationWindow::Environment env;
  env.fault = fault_;
  env.header.recipe = recipe_path_;
  env.header.station = plan_.station_name;
  env.header.operator_name = plan_.operator_name;
  env.header.log = plan_.log.value_or("");
  if (image_) {
    env.header.image = image_->path;
    env.header.image_sha256 = image_->snapshot->Sha256();
  } else {
    env.header.image = plan_.image;
  }
  env.slots = plan_.slots;
  if (fault_) return env;
  env.new_supervisor = [this](std::function<station::Supervisor::Clock::time_point()> now) {
    station::Supervisor::Options options;
    options.station = true;
    options.image_sha256 = image_->snapshot->Sha256();
    options.quota = plan_.units;
    options.slots_wait_for_adapters = plan_.wait_for_adapters;
    options.now = std::move(now);
    options.child_args = [this](const station::SlotPlan& slot) {
      return station::ChildArguments(plan_, slot, *image_);
    };
    return std::make_unique<station::Supervisor>(plan_.slots, options, *launcher_,
                                                 records_ ? &*records_ : nullptr);
  };
  return env;
}

}  // namespace quarnel::station_app
