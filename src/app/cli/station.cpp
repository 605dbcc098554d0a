#include "app/cli/station.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "app/cli/live_view.h"
#include "app/cli/port_runner.h"
#include "app/cli/station_ports.h"
#include "app/cli/unit_log.h"
#include "app/cli/unit_result.h"
#include "operations/image_snapshot.h"
#include "platform/child_process.h"
#include "platform/private_file.h"
#include "platform/stop_signal_watcher.h"
#include "platform/terminal.h"

namespace quarnel::cli {
namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr char kProgramName[] = "quarnel-cli";
// The live lines are redrawn at most this often.
constexpr auto kRedrawInterval = 200ms;
// Children that have not ended this long after a stop request are killed.
constexpr auto kStopGrace = 15s;
// A station port whose child ended sooner than this after its start waits
// this long before the next one, so a fault that ends every child at once
// does not start them in a tight loop.
constexpr auto kShortestRun = 2s;
// Prefixed progress lines: one for every step of this many percent.
constexpr int kProgressStepPercent = 10;

void Say(const std::string& text) {
  std::cerr << kProgramName << ": " << text << std::endl;
}

struct PortState {
  StationPort port;
  PortView view;
  std::unique_ptr<PortRunner> runner;
  uint64_t run = 0;
  Clock::time_point started{};
  std::optional<Clock::time_point> restart_at;
  bool done = false;      // no further child for this port
  bool reported = false;  // the running child reported its outcome
  int progress_step = -1;
  std::optional<UnitResult> last;  // the last unit attempt (or ending) of the port
};

class Station {
 public:
  Station(const ProgramRequest& request, std::vector<StationPort> ports, std::string image_path,
          ImageSnapshotPtr image, std::string image_copy, std::optional<UnitLog>& log)
      : request_(request),
        image_path_(std::move(image_path)),
        image_(std::move(image)),
        image_copy_(std::move(image_copy)),
        log_(log),
        live_(std::cout),
        live_mode_(!request.json && platform::IsTerminal(platform::StandardStream::kOutput)),
        program_(platform::OwnProgramPath()) {
    for (StationPort& port : ports) {
      PortState state;
      state.view.port = port.name;
      state.view.station = request.station;
      state.port = std::move(port);
      port_width_ = std::max(port_width_, state.port.name.size());
      ports_.push_back(std::move(state));
    }
  }

  ExitStatus Run() {
    // Before any thread: the readers must not take the stop signals.
    platform::StopSignalWatcher signals([this](int signal_number) {
      queue_.Post({RunnerEvent::Kind::kStop, 0, 0, {}, signal_number});
    });
    for (size_t slot = 0; slot < ports_.size(); ++slot) {
      PortState& state = ports_[slot];
      if (state.port.duplicate_of) {
        const std::string& first = ports_[*state.port.duplicate_of].port.name;
        FailPort(slot, "the port " + state.port.name + " was given twice (as " + first +
                           "); it is programmed once");
        continue;
      }
      Start(slot);
    }
    Draw(true);
    while (!AllDone()) {
      for (const RunnerEvent& event : queue_.Wait(NextDeadline())) Handle(event);
      const auto now = Clock::now();
      if (stopping_ && !killed_ && now >= stop_deadline_) KillAll();
      for (size_t slot = 0; slot < ports_.size(); ++slot) {
        PortState& state = ports_[slot];
        if (state.restart_at && now >= *state.restart_at) {
          state.restart_at.reset();
          if (!stopping_) Start(slot);
        }
      }
      if (stopping_) {
        for (PortState& state : ports_) {
          if (!state.runner && state.restart_at) {
            state.restart_at.reset();
            state.done = true;
          }
        }
      }
      Draw(false);
    }
    Draw(true);
    if (live_mode_) live_.Finish();
    return Finish();
  }

 private:
  std::vector<std::string> ChildArguments(const PortState& state) const {
    std::vector<std::string> args{"--json", "--port", state.port.name, "--image-label",
                                  image_path_};
    if (request_.capture_timeout_s) {
      std::ostringstream seconds;
      seconds << std::fixed << *request_.capture_timeout_s;
      args.insert(args.end(), {"--capture-timeout", seconds.str()});
    }
    args.push_back(image_copy_);
    return args;
  }

  void Start(size_t slot) {
    PortState& state = ports_[slot];
    state.runner.reset();
    ++state.run;
    state.reported = false;
    state.progress_step = -1;
    state.view.phase = "starting";
    state.view.percent.reset();
    state.view.bytes_per_s.reset();
    state.started = Clock::now();
    try {
      state.runner =
          std::make_unique<PortRunner>(queue_, slot, state.run, program_, ChildArguments(state));
    } catch (const std::exception& error) {
      FailPort(slot, std::string("could not start the program for this port: ") + error.what());
    }
    dirty_ = true;
  }

  // The port takes no part: reported for itself alone.
  void FailPort(size_t slot, const std::string& reason) {
    PortState& state = ports_[slot];
    UnitResult result;
    result.ending = "could_not_start";
    result.port = state.port.name;
    result.exit_status = kExitCouldNotStart;
    result.reason = reason;
    state.last = result;
    state.done = true;
    state.view.phase = "could not start";
    worst_ = std::max(worst_, static_cast<int>(kExitCouldNotStart));
    PortLine(state, reason + " (exit status " + std::to_string(kExitCouldNotStart) + ")", true);
    if (request_.json) ForwardEvent(state, ToJsonEvent(result));
  }

  static nlohmann::json ToJsonEvent(const UnitResult& result) {
    nlohmann::json event = ToJson(result);
    event["event"] = "outcome";
    return event;
  }

  void ForwardEvent(const PortState& state, nlohmann::json event) {
    event["port"] = state.port.name;
    std::cout << event.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) << '\n'
              << std::flush;
  }

  // A line about one port: prefixed on a plain output; above the live lines
  // on a terminal when it is `notable`.
  void PortLine(const PortState& state, const std::string& text, bool notable) {
    if (request_.json) return;
    const std::string line = state.port.name + ": " + text;
    if (live_mode_) {
      if (notable) live_.PrintAbove(line);
    } else {
      std::cout << line << '\n' << std::flush;
    }
  }

  void Handle(const RunnerEvent& event) {
    if (event.kind == RunnerEvent::Kind::kStop) return Stop(event.exit_status);
    PortState& state = ports_[event.slot];
    if (event.run != state.run) return;
    switch (event.kind) {
      case RunnerEvent::Kind::kOutputLine:
        HandleOutput(state, event.text);
        break;
      case RunnerEvent::Kind::kErrorLine:
        PortLine(state, event.text, true);
        if (request_.json) ForwardEvent(state, {{"event", "message"}, {"text", event.text}});
        break;
      case RunnerEvent::Kind::kEnded:
        Ended(event.slot, event.exit_status);
        break;
      case RunnerEvent::Kind::kStop:
        break;
    }
    dirty_ = true;
  }

  void HandleOutput(PortState& state, const std::string& line) {
    nlohmann::json event = nlohmann::json::parse(line, nullptr, false);
    if (event.is_discarded() || !event.is_object() || !event.contains("event")) {
      PortLine(state, line, true);
      return;
    }
    const std::string kind = event.value("event", std::string());
    try {
      if (kind == "status") {
        PortLine(state, event.value("line", std::string()), false);
      } else if (kind == "message") {
        PortLine(state, event.value("text", std::string()), true);
      } else if (kind == "phase") {
        state.view.phase = event.value("phase", std::string());
        if (state.view.phase != "program") state.view.percent.reset();
        PortLine(state, "phase " + state.view.phase, false);
      } else if (kind == "progress") {
        Progress(state, event);
      } else if (kind == "outcome") {
        UnitResult result = UnitResultFromJson(event);
        result.port = state.port.name;
        Outcome(state, result);
      }
    } catch (const nlohmann::json::exception& error) {
      PortLine(state, "unreadable event (" + std::string(error.what()) + "): " + line, true);
    }
    if (request_.json) ForwardEvent(state, std::move(event));
  }

  void Progress(PortState& state, const nlohmann::json& event) {
    const int64_t sent = event.value("blocks_sent", int64_t{0});
    const int64_t total = std::max<int64_t>(event.value("blocks_total", int64_t{1}), 1);
    const int percent = static_cast<int>(std::clamp<int64_t>(sent * 100 / total, 0, 100));
    state.view.percent = percent;
    if (event.contains("bytes_per_s") && event["bytes_per_s"].is_number()) {
      state.view.bytes_per_s = event["bytes_per_s"].get<int64_t>();
    }
    const int step = percent / kProgressStepPercent;
    if (step != state.progress_step) {
      state.progress_step = step;
      std::string text = "block " + std::to_string(sent) + " of " + std::to_string(total) + ", " +
                         std::to_string(percent) + "%";
      if (state.view.bytes_per_s) text += ", " + std::to_string(*state.view.bytes_per_s) + " B/s";
      PortLine(state, text, false);
    }
  }

  void Outcome(PortState& state, const UnitResult& result) {
    state.reported = true;
    Record(state, result);
  }

  void Record(PortState& state, const UnitResult& result) {
    const bool attempt = IsUnitAttempt(result);
    // In station mode a child stopped while it waited for a unit is no unit.
    if (request_.station && !attempt) return;
    state.last = result;
    worst_ = std::max(worst_, result.exit_status);
    if (result.exit_status == 0) {
      ++state.view.passed;
    } else {
      ++state.view.failed;
    }
    std::string text = result.reason;
    if (result.exit_status != 0)
      text += " (exit status " + std::to_string(result.exit_status) + ")";
    PortLine(state, text, true);
    if (!result.image_sha256.empty() && result.image_sha256 != image_->Sha256()) {
      // Cannot happen with the private copy; said loudly if it does.
      PortLine(state,
               "the unit got an image with SHA-256 " + result.image_sha256 +
                   ", not the one checked at the start",
               true);
      worst_ = std::max(worst_, static_cast<int>(kExitFailed));
    }
    if (log_ && attempt) {
      std::string error;
      if (!log_->Write(MakeUnitLogEntry(result, state.port.name, image_path_,
                                        std::chrono::system_clock::now()),
                       error)) {
        Say("could not write to the unit log " + log_->path() + ": " + error);
        worst_ = std::max(worst_, static_cast<int>(kExitFailed));
      }
    }
  }

  void Ended(size_t slot, int exit_status) {
    PortState& state = ports_[slot];
    const bool lived_long = Clock::now() - state.started >= kShortestRun;
    state.runner.reset();
    if (!state.reported) {
      // It ended without saying how: a crash, or killed.
      // Before the capture's answer no unit was under way.
      const bool unit_under_way = state.view.phase != "starting" && state.view.phase != "opening" &&
                                  state.view.phase != "capture";
      UnitResult result;
      result.ending = unit_under_way || !stopping_ ? "failed" : "stopped_by_operator";
      result.port = state.port.name;
      result.exit_status = exit_status == 0 ? kExitFailed : exit_status;
      result.reason = "the program for this port ended without an outcome";
      result.target_id = unit_under_way ? "?" : "";
      Record(state, result);
    }
    const bool port_unusable = exit_status == kExitCouldNotStart || exit_status == kExitPortLost;
    if (!request_.station || stopping_ || port_unusable) {
      state.done = true;
      if (request_.station && port_unusable && !stopping_) {
        PortLine(state, "this port stops; the others go on", true);
        worst_ = std::max(worst_, exit_status);
      }
      state.view.phase = state.last ? state.last->ending : "ended";
      state.view.percent.reset();
      return;
    }
    state.view.phase = "waiting";
    if (lived_long) {
      Start(slot);
    } else {
      state.restart_at = Clock::now() + kShortestRun;
    }
  }

  void Stop(int signal_number) {
    if (stopping_) {
      // A second request: no more waiting.
      KillAll();
      return;
    }
    stopping_ = true;
    stop_signal_ = signal_number;
    stop_deadline_ = Clock::now() + kStopGrace;
    if (!request_.json && !live_mode_) Say("stopping every port...");
    for (PortState& state : ports_) {
      if (state.runner) state.runner->RequestStop(signal_number);
    }
  }

  void KillAll() {
    killed_ = true;
    for (PortState& state : ports_) {
      if (state.runner) state.runner->Kill();
    }
  }

  bool AllDone() const {
    return std::all_of(ports_.begin(), ports_.end(),
                       [](const PortState& state) { return state.done; });
  }

  std::optional<Clock::time_point> NextDeadline() const {
    std::optional<Clock::time_point> next;
    const auto earliest = [&next](Clock::time_point when) {
      if (!next || when < *next) next = when;
    };
    if (stopping_ && !killed_) earliest(stop_deadline_);
    if (live_mode_ && dirty_) earliest(last_draw_ + kRedrawInterval);
    for (const PortState& state : ports_) {
      if (state.restart_at) earliest(*state.restart_at);
    }
    return next;
  }

  void Draw(bool force) {
    if (!live_mode_ || (!dirty_ && !force)) return;
    const auto now = Clock::now();
    if (!force && now - last_draw_ < kRedrawInterval) return;
    std::vector<std::string> lines;
    for (const PortState& state : ports_) lines.push_back(FormatLiveLine(state.view, port_width_));
    live_.Draw(lines);
    last_draw_ = now;
    dirty_ = false;
  }

  ExitStatus Finish() {
    std::vector<SummaryRow> rows;
    nlohmann::json units = nlohmann::json::array();
    for (const PortState& state : ports_) {
      SummaryRow row;
      row.port = state.port.name;
      if (state.last) {
        row.target_id = state.last->target_id == "?" ? "" : state.last->target_id;
        row.outcome = state.last->ending;
        const int64_t ms = state.last->unit_elapsed_ms.value_or(state.last->elapsed_ms);
        if (ms > 0) row.seconds = static_cast<double>(ms) / 1000.0;
        units.push_back(ToJson(*state.last));
      } else {
        row.outcome = "no unit";
      }
      if (request_.station) {
        row.outcome = std::to_string(state.view.passed) + " passed, " +
                      std::to_string(state.view.failed) + " failed" +
                      (state.last ? " (last: " + state.last->ending + ")" : "");
      }
      rows.push_back(row);
    }
    const auto status = static_cast<ExitStatus>(worst_);
    if (request_.json) {
      std::cout << nlohmann::json{{"event", "summary"}, {"units", units}, {"exit_status", status}}
                       .dump(-1, ' ', false, nlohmann::json::error_handler_t::replace)
                << '\n'
                << std::flush;
    } else {
      std::cout << '\n' << FormatSummary(rows) << std::flush;
    }
    Say(status == kExitOk
            ? "every unit was programmed"
            : "not every unit was programmed (exit status " + std::to_string(status) + ")");
    return status;
  }

  const ProgramRequest& request_;
  std::string image_path_;
  ImageSnapshotPtr image_;
  std::string image_copy_;
  std::optional<UnitLog>& log_;
  EventQueue queue_;
  LiveView live_;
  bool live_mode_;
  std::string program_;
  std::vector<PortState> ports_;
  size_t port_width_ = 4;
  bool dirty_ = true;
  Clock::time_point last_draw_{};
  bool stopping_ = false;
  bool killed_ = false;
  int stop_signal_ = 0;
  Clock::time_point stop_deadline_{};
  int worst_ = 0;
};

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
    for (std::string& name : ParsePortsFile(text.str())) names.push_back(std::move(name));
  }
  if (names.empty()) {
    Say("no port to program: " + request.ports_from.value_or("the list") + " names none");
    return std::nullopt;
  }
  return names;
}

}  // namespace

ExitStatus RunStation(const ProgramRequest& request) {
  const auto names = GatherPorts(request);
  if (!names) return kExitCouldNotStart;
  // A log that cannot be written stops the run before anything is erased.
  std::optional<UnitLog> log;
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
  Station station(request, PlanPorts(*names, PortIdentity), image_path, image, copy->path(), log);
  return station.Run();
}

}  // namespace quarnel::cli
