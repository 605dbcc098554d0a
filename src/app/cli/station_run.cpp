#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

#include "app/cli/live_view.h"
#include "app/cli/station.h"
#include "app/cli/station_json_output.h"
#include "app/cli/station_text_output.h"
#include "operations/image_snapshot.h"
#include "platform/child_process.h"
#include "platform/private_file.h"
#include "platform/stop_signal_watcher.h"
#include "platform/terminal.h"
#include "station/child_runner.h"
#include "station/event_names.h"
#include "station/station_ports.h"
#include "station/supervisor.h"
#include "station/unit_log.h"

namespace quarnel::cli {
namespace {

constexpr char kProgramName[] = "quarnel-cli";

void Say(const std::string& text) {
  std::cerr << kProgramName << ": " << text << std::endl;
}

std::optional<std::vector<std::string>> GatherPorts(const ProgramRequest& request) {
  std::vector<std::string> names = request.ports;
  if (request.ports_from) {
    std::ifstream file(*request.ports_from);
    if (!file) {
      Say("cannot read the port list " + *request.ports_from + " (--ports-from)");
      return std::nullopt;
    }
    std::ostringstream text;
    text << file.rdbuf();
    for (std::string& name : station::ParsePortsFile(text.str())) names.push_back(std::move(name));
  }
  if (names.empty()) {
    Say("no port to program: " + request.ports_from.value_or("the list") + " names none");
    return std::nullopt;
  }
  return names;
}

// The unit log as the supervisor's record keeper.
class LogRecords : public station::UnitRecordSink {
 public:
  LogRecords(station::UnitLog& log, std::string image) : log_(log), image_(std::move(image)) {}
  bool Keep(const station::SlotPlan& slot, const station::UnitResult& result,
            std::string& error) override {
    const bool kept = log_.Write(
        station::MakeUnitLogEntry(result, slot.port, image_, std::chrono::system_clock::now()),
        error);
    if (!kept) error = log_.path() + ": " + error;
    return kept;
  }

 private:
  station::UnitLog& log_;
  std::string image_;
};

std::vector<std::string> ChildArguments(const ProgramRequest& request, const std::string& port,
                                        const std::string& image_label,
                                        const std::string& image_copy) {
  std::vector<std::string> args{"--json", "--port", port, "--image-label", image_label};
  if (request.capture_timeout_s) {
    std::ostringstream seconds;
    seconds << std::fixed << *request.capture_timeout_s;
    args.insert(args.end(), {"--capture-timeout", seconds.str()});
  }
  args.push_back(image_copy);
  return args;
}

// The summary table: every port's last unit (station mode: its counts).
std::string SummaryTable(const station::Supervisor& supervisor, bool station_mode) {
  std::vector<SummaryRow> rows;
  for (const station::SlotState& state : supervisor.Slots()) {
    SummaryRow row;
    row.port = state.plan.port;
    if (state.last) {
      row.target_id = state.last->target_id == "?" ? "" : state.last->target_id;
      row.outcome = station::EndingName(state.last->ending);
      const int64_t ms = state.last->unit_elapsed_ms.value_or(state.last->elapsed_ms);
      if (ms > 0) row.seconds = static_cast<double>(ms) / 1000.0;
    } else {
      row.outcome = "no unit";
    }
    if (station_mode) {
      row.outcome =
          std::to_string(state.passed) + " passed, " + std::to_string(state.failed) + " failed" +
          (state.last ? " (last: " + std::string(station::EndingName(state.last->ending)) + ")"
                      : "");
    }
    rows.push_back(row);
  }
  return FormatSummary(rows);
}

ExitStatus Supervise(const ProgramRequest& request, const std::vector<std::string>& names,
                     const std::string& image_path, const ImageSnapshot& image,
                     const std::string& image_copy, station::UnitLog* log) {
  station::SupervisorQueue queue;
  // Before any thread: the readers must not take the stop signals.
  platform::StopSignalWatcher signals(
      [&queue](int signal_number) { queue.Post(station::StopRequest{signal_number}); });
  station::ProcessLauncher launcher(queue, platform::OwnProgramPath());

  std::vector<station::SlotPlan> plans;
  for (const station::StationPort& port : station::PlanPorts(names, station::PortIdentity)) {
    plans.push_back({port.name, port.name, port.duplicate_of});
  }
  station::Supervisor::Options options;
  options.station = request.station;
  options.image_sha256 = image.Sha256();
  options.child_args = [&](const station::SlotPlan& plan) {
    return ChildArguments(request, plan.port, image_path, image_copy);
  };
  std::optional<LogRecords> records;
  if (log != nullptr) records.emplace(*log, image_path);
  station::Supervisor supervisor(std::move(plans), options, launcher,
                                 records ? &*records : nullptr);

  const bool live = !request.json && platform::IsTerminal(platform::StandardStream::kOutput);
  StationTextOutput text(std::cout, supervisor, live, request.station);
  StationJsonOutput json(std::cout, supervisor);
  if (request.json) {
    supervisor.AddObserver(json);
  } else {
    supervisor.AddObserver(text);
  }

  supervisor.Start();
  text.Draw(true);
  while (!supervisor.Done()) {
    std::optional<station::Supervisor::Clock::time_point> deadline = supervisor.NextDeadline();
    if (const auto draw = text.NextDraw(); draw && (!deadline || *draw < *deadline)) {
      deadline = draw;
    }
    for (const station::SupervisorInput& input : queue.Wait(deadline)) supervisor.Handle(input);
    supervisor.Tick();
    text.Draw(false);
  }
  text.Draw(true);
  text.Finish();

  const auto status = static_cast<ExitStatus>(supervisor.ExitStatus());
  if (request.json) {
    json.Finish(status);
  } else {
    std::cout << '\n' << SummaryTable(supervisor, request.station) << std::flush;
  }
  Say(status == kExitOk
          ? "every unit was programmed"
          : "not every unit was programmed (exit status " + std::to_string(status) + ")");
  return status;
}

}  // namespace

ExitStatus RunStation(const ProgramRequest& request) {
  const auto names = GatherPorts(request);
  if (!names) return kExitCouldNotStart;
  // A log that cannot be written stops the run before anything is erased.
  std::optional<station::UnitLog> log;
  if (request.log) {
    try {
      log.emplace(*request.log);
    } catch (const std::runtime_error& error) {
      Say(std::string(error.what()) + " (exit status " + std::to_string(kExitCouldNotStart) + ")");
      return kExitCouldNotStart;
    }
  }
  // The image is read once, here; every child programs this snapshot from a
  // private copy, whatever happens to the file meanwhile.
  std::error_code error;
  const std::string image_path =
      std::filesystem::absolute(request.image, error).lexically_normal().string();
  auto taken = ImageSnapshot::Take(error ? request.image : image_path);
  if (const auto* problem = std::get_if<ImageProblem>(&taken)) {
    Say("image '" + request.image + "' " + problem->reason + " (exit status " +
        std::to_string(kExitCouldNotStart) + ")");
    return kExitCouldNotStart;
  }
  ImageSnapshotPtr image = std::get<ImageSnapshotPtr>(std::move(taken));
  std::vector<uint8_t> bytes(image->Size());
  image->CopyBlock(0, bytes);
  std::optional<platform::PrivateFile> copy;
  try {
    copy.emplace(std::filesystem::path(image_path).filename().string(), bytes);
  } catch (const std::exception& failure) {
    Say(std::string("cannot keep a private copy of the image: ") + failure.what());
    return kExitCouldNotStart;
  }
  Say("image " + image_path + ": " + std::to_string(image->Size()) + " bytes, SHA-256 " +
      image->Sha256());
  Say(std::to_string(names->size()) + (names->size() == 1 ? " port" : " ports") +
      (request.station ? ", a unit after another until Ctrl-C" : "") + "; turn the units on now");
  return Supervise(request, *names, image_path, *image, copy->path(), log ? &*log : nullptr);
}

}  // namespace quarnel::cli
