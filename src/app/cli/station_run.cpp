#include <algorithm>
#include <deque>
#include <filesystem>
#include <iostream>
#include <sstream>

#include "app/cli/live_view.h"
#include "app/cli/output_channel.h"
#include "app/cli/station.h"
#include "app/cli/station_json_output.h"
#include "app/cli/station_plan.h"
#include "app/cli/station_text_output.h"
#include "operations/image_snapshot.h"
#include "platform/child_process.h"
#include "platform/private_file.h"
#include "platform/stop_signal_watcher.h"
#include "platform/terminal.h"
#include "station/child_runner.h"
#include "station/event_names.h"
#include "station/station_setup.h"
#include "station/supervisor.h"
#include "station/unit_log.h"

namespace quarnel::cli {
namespace {

constexpr char kProgramName[] = "quarnel-cli";
// A text waiting this long for the reader holds the station's new units back.
constexpr auto kOutputStall = std::chrono::seconds(2);
constexpr auto kOutputCheck = std::chrono::milliseconds(500);
// At the end, what the reader has not taken after this long is given up.
constexpr auto kOutputGrace = std::chrono::seconds(2);

void Say(const std::string& text) {
  std::cerr << kProgramName << ": " << text << std::endl;
}

// How a slot is named in the table and the live lines: by its port, or by
// its name with the port.
std::string SlotLabel(const station::SlotPlan& slot) {
  return slot.name == slot.port ? slot.port : slot.name + " (" + slot.port + ")";
}

// The summary table: every slot's last unit (station mode: its counts).
std::string SummaryTable(const station::Supervisor& supervisor, bool station_mode) {
  std::vector<SummaryRow> rows;
  for (const station::SlotState& state : supervisor.Slots()) {
    SummaryRow row;
    row.port = SlotLabel(state.plan);
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
    // A slot that could not be used says why.
    if (!state.stopped_because.empty()) row.outcome += ": " + state.stopped_because;
    rows.push_back(row);
  }
  return FormatSummary(rows);
}

ExitStatus Supervise(const station::StationPlan& plan, bool json_events,
                     const station::StationImage& image, station::UnitLog* log) {
  station::SupervisorQueue queue;
  // Before any thread: the readers must not take the stop signals.
  platform::StopSignalWatcher signals(
      [&queue](int signal_number) { queue.Post(station::StopRequest{signal_number}); });
  station::ProcessLauncher launcher(queue, platform::OwnProgramPath());

  station::Supervisor::Options options;
  options.station = plan.station_mode;
  options.image_sha256 = image.snapshot->Sha256();
  options.quota = plan.units;
  options.slots_wait_for_adapters = plan.wait_for_adapters;
  options.child_args = [&](const station::SlotPlan& slot) {
    return station::ChildArguments(plan, slot, image);
  };
  std::optional<station::LogRecords> records;
  if (log != nullptr) records.emplace(*log, image.path);
  station::Supervisor supervisor(plan.slots, options, launcher, records ? &*records : nullptr);

  // Neither output may hold the station: each has a writer of its own.
  OutputChannel out(WriteStandardOutput, [json_events](size_t dropped) {
    const std::string text = std::to_string(dropped) +
                             (json_events ? " progress and status events" : " lines") +
                             " were left out while the output was not read";
    return json_events ? station::EncodeEvent(station::MessageEvent{text},
                                              std::chrono::system_clock::now()) +
                             "\n"
                       : "quarnel-cli: " + text + "\n";
  });
  OutputChannel err(WriteStandardError, {});
  const auto say = [&err](const std::string& text) {
    err.Write(std::string(kProgramName) + ": " + text + "\n", OutputChannel::Kind::kMustArrive);
  };

  const bool live = !json_events && platform::IsTerminal(platform::StandardStream::kOutput);
  StationTextOutput text(out, err, supervisor, live, plan.station_mode);
  StationJsonOutput json(out, supervisor);
  if (json_events) {
    supervisor.AddObserver(json);
  } else {
    supervisor.AddObserver(text);
  }

  supervisor.Start();
  text.Draw(true);
  while (!supervisor.Done()) {
    std::optional<station::Supervisor::Clock::time_point> deadline = supervisor.NextDeadline();
    const auto earliest = [&deadline](station::Supervisor::Clock::time_point when) {
      if (!deadline || when < *deadline) deadline = when;
    };
    if (const auto draw = text.NextDraw()) earliest(*draw);
    // While the reader is behind, look at it again soon.
    if (out.Pending() > 0) earliest(station::Supervisor::Clock::now() + kOutputCheck);
    for (const station::SupervisorInput& input : queue.Wait(deadline)) supervisor.Handle(input);
    const bool stalled = out.Stalled(kOutputStall);
    if (stalled != supervisor.Held() && plan.station_mode) {
      supervisor.Hold(stalled);
      say(stalled ? "the output is not being read: no new unit starts until it is"
                  : "the output is being read again: the slots go on");
    }
    supervisor.Tick();
    text.Draw(false);
  }
  text.Draw(true);
  text.Finish();

  if (records) {
    // A last try; what the log still cannot take is not lost.
    std::string error;
    if (!records->Retry(error)) {
      const auto held = records->HeldBack();
      say(std::to_string(held.size()) + (held.size() == 1 ? " record" : " records") +
          " could not be written to the unit log (" + error + "); here they are, whole:");
      for (const std::string& line : held) err.Write(line, OutputChannel::Kind::kMustArrive);
    }
  }
  const auto status = static_cast<ExitStatus>(supervisor.ExitStatus());
  if (json_events) {
    json.Finish(status);
  } else {
    out.Write("\n" + SummaryTable(supervisor, plan.station_mode), OutputChannel::Kind::kMustArrive);
  }
  say(status == kExitOk
          ? "every unit was programmed"
          : "not every unit was programmed (exit status " + std::to_string(status) + ")");
  // A reader that does not read gets a moment, then is given up: the
  // records are in the log already.
  const bool delivered = out.Finish(kOutputGrace);
  if (!delivered) say("the output was not read; what was left of it was given up");
  err.Finish(kOutputGrace);
  return status;
}

}  // namespace

ExitStatus RunStation(const ProgramRequest& request) {
  auto planned = MakeStationPlan(request);
  if (const auto* problem = std::get_if<PlanProblem>(&planned)) {
    Say(problem->message + (problem->exit_status == kExitUsage
                                ? ""
                                : " (exit status " + std::to_string(problem->exit_status) + ")"));
    return static_cast<ExitStatus>(problem->exit_status);
  }
  const station::StationPlan& plan = std::get<station::StationPlan>(planned);
  // A log that cannot be written stops the run before anything is erased.
  std::optional<station::UnitLog> log;
  if (plan.log) {
    try {
      log.emplace(*plan.log, station::RunRecordContext(plan));
    } catch (const std::runtime_error& error) {
      Say(std::string(error.what()) + " (exit status " + std::to_string(kExitCouldNotStart) + ")");
      return kExitCouldNotStart;
    }
  }
  auto prepared = station::PrepareStationImage(plan);
  if (const auto* problem = std::get_if<std::string>(&prepared)) {
    Say(*problem + " (exit status " + std::to_string(kExitCouldNotStart) + ")");
    return kExitCouldNotStart;
  }
  const station::StationImage& image = std::get<station::StationImage>(prepared);
  Say("image " + image.path + ": " + std::to_string(image.snapshot->Size()) + " bytes, SHA-256 " +
      image.snapshot->Sha256());
  const size_t count = plan.slots.size();
  Say(std::to_string(count) + (count == 1 ? " port" : " ports") +
      (plan.station_mode ? ", a unit after another until Ctrl-C" : "") + "; turn the units on now");
  return Supervise(plan, request.json, image, log ? &*log : nullptr);
}

}  // namespace quarnel::cli
