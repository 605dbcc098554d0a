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
#include "app/cli/port_choice.h"
#include "app/cli/progress_line.h"
#include "app/cli/status_output.h"
#include "app/cli/unit_log.h"
#include "link/records.h"
#include "platform/child_process.h"
#include "platform/stop_signal_watcher.h"
#include "platform/terminal.h"
#include "toolkit/headless_event_loop.h"
#include "ui/main_window.h"

namespace quarnel::cli {
namespace {

constexpr char kProgramName[] = "quarnel-cli";
constexpr char kConnectedCaption[] = "Disconnect";
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
// The status bit of a target in its loader mode: the capture was answered.
constexpr int32_t kLoaderModeBit = 0x4000;

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
    form_ = std::make_unique<TForm1>(FormEnvironment(request_));
    WatchForm();

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
  const UnitResult& Unit() const { return unit_; }

 private:
  // The window with the limits of a run that nobody watches: the capture
  // limit asked for, and bounded waits for the reset's answer and for a
  // chain that cannot go on.
  static TForm1::Environment FormEnvironment(const ProgramRequest& request) {
    TForm1::Environment environment;
    if (request.capture_timeout_s) {
      // At most a week: the milliseconds fit.
      environment.limits.capture_ms =
          static_cast<uint32_t>(std::llround(*request.capture_timeout_s * 1000.0));
    }
    environment.limits.reset_answer_ms = kResetAnswerLimitMs;
    environment.limits.stall_ms = kStallLimitMs;
    return environment;
  }

  void WatchForm() {
    TForm1& form = *form_;
    // Lines the window wrote while it was being created ("Program Ready").
    for (const std::string& line : form.Memo1.Lines()) PrintStatus(line);
    form.Memo1.AddObserver([this](tk::TControl& control, tk::Change change) {
      if (change != tk::Change::LineAdded) return;
      const auto& lines = static_cast<tk::TMemo&>(control).Lines();
      if (lines.empty()) return;
      PrintStatus(lines.back());
    });
    form.Gauge1.AddObserver([this](tk::TControl&, tk::Change change) {
      if (change == tk::Change::Gauge || change == tk::Change::Visible) ShowProgress();
    });
  }

  // Choose Comport, the pick in the list, Connect/Program device.
  void Connect() {
    TForm1& form = *form_;
    tk::RunGuarded([&] {
      form.ButChooseCC.Click();
      const int entry = FindPortEntry(form.CCommPort.Items(), request_.port);
      if (entry >= 0) {
        form.CCommPort.Pick(entry);
      } else {
        form.CCommPort.SetText(request_.port);
        form.CCommPortClick(&form.CCommPort);
      }
      form.ButConnectProgram.Click();
    });
    connected_ = form.connect.Caption() == kConnectedCaption && form.SequenceUnderWay();
    NotePhase();
  }

  void PrintStatus(const std::string& line) {
    NotePhase();
    if (events_ != nullptr) {
      events_->Status(line);
    } else {
      output_.Print(line);
    }
  }

  // Where the sequence is, from the window's own state: the capture until
  // the target reports its loader mode, then the erases until the first
  // block, the blocks while the gauge shows, then the reset.
  std::string CurrentPhase() const {
    const TForm1& form = *form_;
    if (!connected_) return "opening";
    if (form.BlocksSent > 0) return form.Gauge1.Visible() ? "program" : "reset";
    if ((form.TargetStatus & kLoaderModeBit) != 0) return "erase";
    return "capture";
  }

  void NotePhase() {
    if (!form_) return;
    const std::string phase = CurrentPhase();
    if (phase == phase_) return;
    phase_ = phase;
    if (phase != "opening" && phase != "capture" && !unit_started_ms_) {
      unit_started_ms_ = loop_.NowMs();
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
    unit_ = MakeUnitResult(form_->LastOutcome(), result);
    if (unit_.port.empty()) unit_.port = request_.port;
    // The image as the operator named it, also when a private copy was read.
    if (request_.image_label && !unit_.image_path.empty()) unit_.image_path = *request_.image_label;
    if (unit_started_ms_) unit_.unit_elapsed_ms = loop_.NowMs() - *unit_started_ms_;
    if (events_ != nullptr) {
      events_->Phase("ended");
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

  void ShowProgress() {
    TForm1& form = *form_;
    if (!form.Gauge1.Visible() || form.BlocksSent <= 0) {
      progress_.Clear();
      first_block_ms_.reset();
      return;
    }
    const int64_t now = loop_.NowMs();
    if (!first_block_ms_) first_block_ms_ = now;
    ProgressSnapshot snapshot;
    snapshot.blocks_sent = form.BlocksSent;
    // The image the run sends, as the window read it.
    const uint64_t size = form.SourceImage ? form.SourceImage->Size() : image_.size;
    snapshot.blocks_total = static_cast<int64_t>((size + BlockSize - 1) / BlockSize);
    snapshot.bytes_total = size;
    snapshot.bytes_sent =
        std::min<uint64_t>(static_cast<uint64_t>(form.BlocksSent) * BlockSize, size);
    snapshot.elapsed_s = static_cast<double>(now - *first_block_ms_) / 1000.0;
    const bool last = snapshot.blocks_sent >= snapshot.blocks_total;
    NotePhase();
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
    loop_.Wake();
  }

  const ProgramRequest& request_;
  ImageOk image_;
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
  std::string phase_;
  UnitResult unit_;
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
      UnitResult unit = MakeUnitResult(std::nullopt, {kExitCouldNotStart, message});
      unit.port = request.port;
      events->Outcome(unit);
    }
    return kExitCouldNotStart;
  };
  // A log that cannot be written stops the run before anything is erased.
  std::optional<UnitLog> log;
  if (request.log) {
    try {
      log.emplace(*request.log);
    } catch (const std::runtime_error& error) {
      return could_not_start(error.what());
    }
  }
  const auto checked = CheckImage(request.image);
  if (const auto* problem = std::get_if<ImageProblem>(&checked)) {
    return could_not_start(problem->message);
  }
  ImageOk image = std::get<ImageOk>(checked);
  // Which image, before anything happens: a log or an operator can match it
  // with the release.
  ImageOk shown = image;
  if (request.image_label) shown.absolute_path = *request.image_label;
  Report(events, DescribeImage(shown));
  Session session(request, image, events);
  const ExitStatus status = session.Run();
  if (log && IsUnitAttempt(session.Unit())) {
    std::string error;
    const UnitLogEntry entry = MakeUnitLogEntry(session.Unit(), request.port, shown.absolute_path,
                                                std::chrono::system_clock::now());
    if (!log->Write(entry, error)) {
      Report(events, "could not write to the unit log " + log->path() + ": " + error);
      return status == kExitOk ? kExitFailed : status;
    }
  }
  return status;
}

}  // namespace quarnel::cli
