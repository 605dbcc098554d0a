#include "app/cli/guided_session.h"

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <sstream>
#include <variant>

#include "app/cli/headless_dialogs.h"
#include "app/cli/image_check.h"
#include "app/cli/json_events.h"
#include "app/cli/outcome_report.h"
#include "app/cli/progress_line.h"
#include "app/cli/station_plan.h"
#include "app/cli/status_output.h"
#include "link/records.h"
#include "platform/append_file.h"
#include "platform/child_process.h"
#include "platform/manual_reset_event.h"
#include "platform/port_location.h"
#include "platform/port_watch.h"
#include "platform/stop_signal_watcher.h"
#include "platform/terminal.h"
#include "station/port_choice.h"
#include "station/unit_log.h"
#include "toolkit/headless_event_loop.h"
#include "ui/main_window.h"

namespace quarnel::cli {
namespace {

constexpr char kProgramName[] = "quarnel-cli";
// How long one turn of the loop may wait before the stop flag is looked at
// again.
constexpr int64_t kLoopTurnMs = 200;
// The reset is repeated every 1.5 s until answered: give up after this long.
constexpr uint32_t kResetAnswerLimitMs = 10000;
// Nothing waits for an answer and the last one starts no further step: after
// this long the chain cannot go on.
constexpr uint32_t kStallLimitMs = 4000;
// Progress events at most this often (and for the last block).
constexpr int64_t kProgressEventMs = 250;

// Who and where, for the outcome and the record.
void NameUnit(station::UnitResult& unit, const ProgramRequest& request) {
  if (unit.port.empty()) unit.port = request.port;
  unit.unit_id = request.unit_id;
  unit.operator_name = request.operator_name.value_or(station::DefaultOperatorName());
  unit.station = request.station_name.value_or(station::DefaultStationName());
  unit.slot = request.slot.value_or(request.port);
}

// A message for the operator: on stderr, or a message event with --json.
void Report(JsonEvents* events, const std::string& text) {
  if (events != nullptr) {
    events->Message(text);
  } else {
    std::cerr << kProgramName << ": " << text << std::endl;
  }
}

class Session {
 public:
  Session(const ProgramRequest& request, const ImageOk& image, JsonEvents* events)
      : request_(request),
        image_(image),
        events_(events),
        progress_(std::cerr,
                  events == nullptr && platform::IsTerminal(platform::StandardStream::kError)),
        // Both streams on one terminal: the progress line steps aside for each status line.
        output_(std::cout, progress_,
                platform::IsTerminal(platform::StandardStream::kError) &&
                    platform::IsTerminal(platform::StandardStream::kOutput)),
        dialogs_(image.absolute_path, [this](const std::string& text) { MessageBox(text); }),
        services_(dialogs_, [this](std::exception_ptr error, tk::TObject*) {
          ErrorReport(tk::ExceptionMessage(error));
        }) {}

  ExitStatus Run() {
    // Before the window exists: its port threads must inherit the blocked signals.
    platform::StopSignalWatcher signals(
        [this](int signal_number) { StopRequested(signal_number); });
    if (!FindPort()) return EndWithoutSequence();
    // Nothing is open yet; the window's first lines follow.
    NotePhase(SequencePhase::kOpening);
    form_ = std::make_unique<TForm1>(FormEnvironment());

    Connect();
    if (connected_) {
      PromptForPower();
      while (!Ended()) loop_.RunUntil([this] { return Ended(); }, kLoopTurnMs);
    }
    const SessionResult result = Finish();
    form_.reset();  // closes the port and ends its threads while the signals are still held
    return result.status;
  }

  // How the unit's sequence ended; after Run().
  const station::UnitResult& Unit() const { return unit_; }

 private:
  // The window with the limits of a run that nobody watches (the capture
  // limit asked for, and bounded waits for the reset's answer and for a
  // chain that cannot go on), the image this process has read, and the
  // typed state the session follows.
  TForm1::Environment FormEnvironment() {
    TForm1::Environment environment;
    if (request_.capture_timeout_s) {
      // At most a week: the milliseconds fit.
      environment.limits.capture_ms =
          static_cast<uint32_t>(std::llround(*request_.capture_timeout_s * 1000.0));
    }
    environment.limits.reset_answer_ms = kResetAnswerLimitMs;
    environment.limits.stall_ms = kStallLimitMs;
    environment.image = image_.snapshot;
    environment.allowed_target_ids = request_.target_ids;
    environment.on_status_line = [this](const std::string& line) { PrintStatus(line); };
    environment.on_phase = [this](SequencePhase phase) { NotePhase(phase); };
    environment.on_progress = [this](const RunProgress& progress) { ShowProgress(progress); };
    return environment;
  }

  // The device the port's spelling names now ("usb-path:1-1.2", a by-path
  // name, ...). With --wait-port an absent one is waited for, without
  // polling, until it appears or the run is stopped; false when the run
  // cannot go on (stopped, or a spelling that names several ports).
  bool FindPort() {
    std::optional<platform::PortWatch> watch;
    for (;;) {
      try {
        device_ = platform::ResolvePort(request_.port);
      } catch (const platform::AmbiguousPortPlace& error) {
        not_found_ = error.what();
        return false;
      }
      if (device_ || !request_.wait_port) return true;
      if (stop_signal_.load() != 0) return false;
      if (!watch) {
        // Watching begins before the next look: nothing that appears
        // meanwhile is missed.
        watch.emplace();
        NotePhase(SequencePhase::kWaitingForAdapter);
        Report(events_, "waiting for the adapter of " + request_.port + " to be plugged in");
        continue;
      }
      watch->Wait(&stop_event_, platform::kInfinite);
    }
  }

  // Stopped while waiting for the adapter, or a port that cannot be named:
  // no sequence began, and no unit was there.
  ExitStatus EndWithoutSequence() {
    const int stop = stop_signal_.load();
    SessionResult result{kExitCouldNotStart, "could not start: " + not_found_};
    SequenceOutcome outcome;
    outcome.ending = SequenceEnding::kCouldNotStart;
    if (stop != 0) {
      result = {static_cast<ExitStatus>(kExitSignalBase + stop),
                "stopped while waiting for the adapter"};
      outcome.ending = SequenceEnding::kStoppedByOperator;
    }
    outcome.port = request_.port;
    outcome.message = result.reason;
    unit_ = station::MakeUnitResult(outcome, result.status, result.reason);
    NameUnit(unit_, request_);
    if (events_ != nullptr) {
      events_->Phase(SequencePhase::kEnded);
      events_->Outcome(unit_);
    } else {
      Report(events_, result.reason + " (exit status " + std::to_string(result.status) + ")");
    }
    return result.status;
  }

  // Choose Comport, the pick in the list, Connect/Program device.
  void Connect() {
    TForm1& form = *form_;
    tk::RunGuarded([&] {
      form.ButChooseCC.Click();
      const int entry = station::FindPortEntry(form.CCommPort.Items(), request_.port);
      if (entry >= 0) {
        form.CCommPort.Pick(entry);
      } else {
        // A place or a link: the device it names now.
        form.CCommPort.SetText(device_.value_or(request_.port));
        form.CCommPortClick(&form.CCommPort);
      }
      form.ButConnectProgram.Click();
    });
    connected_ = form.PortOpen() && form.SequenceUnderWay();
  }

  void PrintStatus(const std::string& line) {
    if (events_ != nullptr) {
      events_->Status(line);
    } else {
      output_.Print(line);
    }
  }

  // The window's phase; the sequence's end is told with the outcome.
  void NotePhase(SequencePhase phase) {
    if (phase == SequencePhase::kEnded || phase == phase_) return;
    phase_ = phase;
    // The unit arrived when it answered the capture.
    if (phase != SequencePhase::kOpening && phase != SequencePhase::kCapture && !unit_started_ms_) {
      unit_started_ms_ = loop_.NowMs();
    }
    if (phase != SequencePhase::kProgram) {
      progress_.Clear();
      first_block_ms_.reset();
    }
    if (events_ != nullptr) events_->Phase(phase);
  }

  void PromptForPower() {
    std::string line = "Turn on the power to the unit now; waiting for its bootloader to answer";
    if (request_.capture_timeout_s) {
      std::ostringstream limit;
      limit << *request_.capture_timeout_s;
      line += " (at most " + limit.str() + " s)";
    }
    if (events_ != nullptr) {
      events_->Message(line);
    } else {
      std::cerr << line << "..." << std::endl;
    }
  }

  bool Ended() const {
    return stop_signal_.load() != 0 || form_->Closed() || !form_->SequenceUnderWay();
  }

  // Leaves the target and the port as the operator would, then says how the
  // sequence ended.
  SessionResult Finish() {
    progress_.Clear();
    tk::RunGuarded([&] { form_->StopSequence(); });
    const SessionResult result = Result();
    if (form_->LastOutcome()) {
      const std::string note = ImageChangeNote(*form_->LastOutcome(), image_.sha256);
      if (!note.empty()) Report(events_, note);
    }
    // With --json the closing line is the outcome event's reason.
    if (events_ == nullptr) {
      if (result.status == kExitOk) {
        Report(events_, result.reason);
      } else {
        Report(events_, result.reason + " (exit status " + std::to_string(result.status) + ")");
      }
    }
    unit_ = station::MakeUnitResult(form_->LastOutcome(), result.status, result.reason);
    NameUnit(unit_, request_);
    // The image as the operator named it, also when a private copy was read.
    if (request_.image_label && !unit_.image_path.empty()) unit_.image_path = *request_.image_label;
    if (unit_started_ms_) unit_.unit_elapsed_ms = loop_.NowMs() - *unit_started_ms_;
    if (events_ != nullptr) {
      events_->Phase(SequencePhase::kEnded);
      events_->Outcome(unit_);
    }
    return result;
  }

  SessionResult Result() const {
    if (!form_->LastOutcome() && !connected_) {
      // Nothing of the sequence began: what went wrong was said in a message.
      return {kExitCouldNotStart,
              "could not start: " +
                  early_message_.value_or("the port " + request_.port + " was not opened")};
    }
    return ResultOf(form_->LastOutcome(), stop_signal_.load());
  }

  void ShowProgress(const RunProgress& progress) {
    const int64_t now = loop_.NowMs();
    if (!first_block_ms_) first_block_ms_ = now;
    ProgressSnapshot snapshot;
    snapshot.blocks_sent = progress.blocks_sent;
    snapshot.blocks_total = progress.blocks_total;
    snapshot.bytes_total = progress.image_size;
    snapshot.bytes_sent = std::min<uint64_t>(
        static_cast<uint64_t>(std::max(progress.blocks_sent, 0)) * BlockSize, progress.image_size);
    snapshot.elapsed_s = static_cast<double>(now - *first_block_ms_) / 1000.0;
    const bool last = snapshot.blocks_sent >= snapshot.blocks_total;
    if (events_ != nullptr) {
      if (last || !last_progress_event_ms_ || now - *last_progress_event_ms_ >= kProgressEventMs) {
        last_progress_event_ms_ = now;
        events_->Progress(snapshot);
      }
      return;
    }
    progress_.Update(snapshot, now, last);
  }

  // Before the port is open a message box can only mean that it was not
  // opened: the closing line says so, with its text.
  void MessageBox(const std::string& text) {
    if (!connected_) {
      if (!early_message_) early_message_ = text;
      return;
    }
    progress_.Suspend();
    Report(events_, text);
    progress_.Resume();
  }

  // An error report is a message box that also ends a sequence under way.
  void ErrorReport(const std::string& text) {
    MessageBox(text);
    if (connected_) form_->EndSequenceWithError(text);
  }

  // On the signal watcher's thread.
  void StopRequested(int signal_number) {
    int expected = 0;
    if (!stop_signal_.compare_exchange_strong(expected, signal_number)) {
      // A second request while the first is being served: quit at once.
      std::_Exit(kExitSignalBase + signal_number);
    }
    stop_event_.Signal();
    loop_.Wake();
  }

  const ProgramRequest& request_;
  ImageOk image_;
  std::optional<std::string> device_;  // what the port's spelling names now
  std::string not_found_;
  platform::ManualResetEvent stop_event_;
  JsonEvents* events_;
  tk::HeadlessEventLoop loop_{tk::HeadlessEventLoop::Clock::Real};
  ProgressLine progress_;
  StatusOutput output_;
  HeadlessDialogs dialogs_;
  ApplicationServicesScope services_;
  std::atomic<int> stop_signal_{0};
  std::optional<int64_t> first_block_ms_;
  std::optional<int64_t> last_progress_event_ms_;
  std::optional<int64_t> unit_started_ms_;  // when the target answered the capture
  std::optional<SequencePhase> phase_;
  station::UnitResult unit_;
  bool connected_ = false;  // Connect opened the port and the sequence runs
  std::optional<std::string> early_message_;
  std::unique_ptr<TForm1> form_;
};

}  // namespace

ExitStatus RunGuidedSession(const ProgramRequest& request) {
  // Only a supervisor names the image apart from the file it passes: such a
  // child must not outlive it.
  if (request.image_label) platform::StopWhenParentEnds();
  std::optional<JsonEvents> json;
  if (request.json) json.emplace(std::cout);
  JsonEvents* events = json ? &*json : nullptr;
  const auto could_not_start = [&](const std::string& message) {
    if (events == nullptr) {
      Report(events, message + " (exit status " + std::to_string(kExitCouldNotStart) + ")");
    } else {
      station::UnitResult unit = station::MakeUnitResult(std::nullopt, kExitCouldNotStart, message);
      NameUnit(unit, request);
      events->Outcome(unit);
    }
    return kExitCouldNotStart;
  };
  // A log named like the image would write into the firmware.
  {
    station::StationPlan files;
    files.log = request.log;
    files.image = request.image;
    if (const auto clash = FilesThatMustDiffer(request, files)) {
      std::cerr << "quarnel-cli: " << *clash << std::endl;
      return kExitUsage;
    }
  }
  // A log that cannot be written stops the run before anything is erased.
  std::optional<station::UnitLog> log;
  if (request.log) {
    try {
      log.emplace(*request.log, station::RecordContext{
                                    request.station_name.value_or(station::DefaultStationName()),
                                    request.operator_name.value_or(station::DefaultOperatorName()),
                                    std::nullopt, station::NewRunId(), platform::HostName()});
    } catch (const std::runtime_error& error) {
      return could_not_start(error.what());
    }
  }
  const auto checked = CheckImage(request.image);
  if (const auto* problem = std::get_if<ImageProblem>(&checked)) {
    return could_not_start(problem->message);
  }
  ImageOk image = std::get<ImageOk>(checked);
  // A pinned image: any other is refused before the port is opened.
  if (request.image_sha256 && image.sha256 != *request.image_sha256) {
    return could_not_start("image " + image.absolute_path + " has SHA-256 " + image.sha256 +
                           ", not the " + *request.image_sha256 +
                           " it must have: nothing was programmed");
  }
  // Which image, before anything happens: a log or an operator can match it
  // with the release.
  ImageOk shown = image;
  if (request.image_label) shown.absolute_path = *request.image_label;
  Report(events, DescribeImage(shown));
  Session session(request, image, events);
  const ExitStatus status = session.Run();
  if (log && station::IsUnitAttempt(session.Unit())) {
    std::string error;
    const station::UnitLogEntry entry =
        log->Entry(session.Unit(), session.Unit().slot, request.port, shown.absolute_path,
                   std::chrono::system_clock::now());
    if (!log->Write(entry, error)) {
      Report(events, "could not write to the unit log " + log->path() + ": " + error);
      return status == kExitOk ? kExitFailed : status;
    }
  }
  return status;
}

}  // namespace quarnel::cli
