// How a sequence ends: what the window notes while it runs, the limits a
// front end may add, and the one place that raises the ending.
#include "operations/sequence_outcome.h"

#include <algorithm>
#include <climits>

#include "link/codes.h"
#include "link/records.h"
#include "toolkit/event_loop.h"
#include "toolkit/same_text.h"
#include "ui/main_window.h"
#include "ui/result_line.h"

namespace quarnel {
namespace {

// How often a stall limit is looked at.
constexpr uint32_t kStallCheckMs = 250;
// How long the capture waits without a word from the port before the result
// line says what to check.
constexpr uint32_t kCaptureHintMs = 30000;

// The result line: dark green for a programmed unit, red for anything else,
// both readable on the panel's grey.
constexpr tk::TColor kSuccessColour = 0x007000;
constexpr tk::TColor kFailureColour = 0x0000C0;

void Stop(tk::TTimer& timer) {
  timer.SetEnabled(false);
  timer.OnTimer = nullptr;
}

void StartOnce(tk::TTimer& timer, uint32_t interval_ms, tk::TNotifyEvent handler) {
  timer.SetEnabled(false);
  timer.OnTimer = std::move(handler);
  timer.SetInterval(interval_ms);
  timer.SetEnabled(true);
}

}  // namespace

int64_t TForm1::NowMs() const {
  const tk::EventLoop* loop = tk::CurrentMainLoop();
  return loop != nullptr ? loop->NowMs() : 0;
}

void TForm1::BeginSequence() {
  Stop(capture_limit_);
  Stop(reset_limit_);
  Stop(stall_check_);
  Stop(capture_hint_);
  sequence_ = SequenceRecord{};
  sequence_.under_way = true;
  sequence_.started_ms = NowMs();
  sequence_.details.port = CCommPort.Text();
  last_outcome_.reset();
  checked_image_.reset();
  LabResult.SetCaption("");
  SetPhase(SequencePhase::kOpening);
  // Running: a new pick of a port must not disconnect the chain midway (the
  // capture's wait excepted, see ArmCaptureHint).
  ButChooseCC.SetEnabled(false);
  if (const auto stall_ms = env_.limits.stall_ms) {
    stall_check_.OnTimer = [this](tk::TObject*) { CheckForStall(); };
    stall_check_.SetInterval(std::min(kStallCheckMs, std::max<uint32_t>(*stall_ms, 1)));
    stall_check_.SetEnabled(true);
  }
}

void TForm1::EndSequence(SequenceEnding ending, const std::string& message) {
  if (!sequence_.under_way) return;  // one ending per sequence: the first wins
  sequence_.under_way = false;
  Stop(capture_limit_);
  Stop(reset_limit_);
  Stop(stall_check_);
  Stop(capture_hint_);

  SequenceOutcome outcome = sequence_.details;
  outcome.ending = ending;
  // A message noted on the way (which IDs were allowed) unless the end brings its own.
  if (!message.empty()) outcome.message = message;
  outcome.last_response_code = LastResponseCode;
  if (sequence_.run == SequenceRecord::Run::kAborted) outcome.status = sequence_.abort_status;
  outcome.reset_answered = ending == SequenceEnding::kProgrammed ||
                           (ending == SequenceEnding::kAbortedByTarget && sequence_.reset_answered);
  outcome.elapsed_ms = NowMs() - sequence_.started_ms;
  last_outcome_ = outcome;
  checked_image_.reset();
  ShowEnding(outcome);
  SetPhase(SequencePhase::kEnded);
  if (env_.on_outcome) env_.on_outcome(outcome);
}

void TForm1::SetPhase(SequencePhase phase) {
  if (phase == phase_) return;
  phase_ = phase;
  if (env_.on_phase) env_.on_phase(phase);
}

void TForm1::ShowRunningNote(const std::string& text) {
  if (LabResult.Caption() == text) return;
  tk::TFont font = LabResult.Font();
  font.color = tk::clWindowText;
  LabResult.SetFont(font);
  LabResult.SetCaption(text);
}

void TForm1::ArmCaptureHint() {
  if (!sequence_.under_way) return;
  // The operator may give up on this port while the capture waits: Choose
  // Comport stops it and closes the port (see ButChooseCCClick).
  ButChooseCC.SetEnabled(true);
  StartOnce(capture_hint_, kCaptureHintMs, [this](tk::TObject*) { ShowCaptureHint(); });
}

void TForm1::ShowCaptureHint() {
  Stop(capture_hint_);
  if (!sequence_.under_way || sequence_.captured) return;
  const SequenceOutcome& details = sequence_.details;
  if (details.lines_received == 0) {
    ShowRunningNote("No answer from the port yet: is the unit on this port and powered?");
  } else if (details.answers_accepted == 0) {
    ShowRunningNote(
        "Lines arrive from the port, but none is an answer: check the wiring and the line speed");
  }
}

void TForm1::ShowEnding(const SequenceOutcome& outcome) {
  const ResultLine line = ResultLineFor(outcome);
  tk::TFont font = LabResult.Font();
  font.color = line.success ? kSuccessColour : kFailureColour;
  LabResult.SetFont(font);
  LabResult.SetCaption(line.text);
  ButChooseCC.SetEnabled(true);
  CCommPort.SetEnabled(true);
}

void TForm1::NoAnswer(SequenceEnding ending) {
  if (LSCProgramTimer.Enabled()) {
    LastResponseCode = kNoAnswerMarker;
    sequence_.no_answer = ending;
  } else {
    EndSequence(ending);
  }
}

bool TForm1::NoteAnswer(const std::string& target_id, uint16_t status, int32_t code) {
  SequenceOutcome& details = sequence_.details;
  if (sequence_.under_way && !sequence_.captured_target_id.empty() &&
      !tk::SameText(target_id, sequence_.captured_target_id)) {
    // Another unit answers (one swapped while it was programmed): whatever
    // this one holds is not the image, whatever the answers say.
    LastResponseCode = 0;
    Gauge1.Hide();
    ClosePort(SequenceEnding::kFailed, "the unit changed during programming (target " +
                                           sequence_.captured_target_id + ", then " + target_id +
                                           ")");
    return false;
  }
  ++details.answers_accepted;
  details.target_id = target_id;
  details.status = status;
  if (code == kInLoaderModeCode) {
    if (!sequence_.captured && sequence_.under_way) {
      // The unit is there: the chain runs on its own from now on.
      Stop(capture_hint_);
      ShowRunningNote("");
      ButChooseCC.SetEnabled(false);
      SetPhase(SequencePhase::kErase);
      sequence_.captured_target_id = target_id;
    }
    sequence_.captured = true;
    Stop(capture_limit_);
  } else if (code == kDeviceResetCode) {
    sequence_.reset_answered = true;
    Stop(reset_limit_);
  }
  return true;
}

bool TForm1::TargetAllowed(const std::string& target_id) const {
  const auto& allowed = env_.allowed_target_ids;
  return allowed.empty() || std::any_of(allowed.begin(), allowed.end(), [&](const std::string& id) {
           return tk::SameText(id, target_id);
         });
}

void TForm1::RefuseTarget() {
  sequence_.wrong_target = true;
  std::string allowed;
  for (const std::string& id : env_.allowed_target_ids) {
    allowed += (allowed.empty() ? "" : ", ") + id;
  }
  sequence_.details.message = "not one of those allowed (" + allowed + ")";
  // Out of its loader as it was: nothing has been erased.
  BResetTargetClick(&BResetTarget);
  LastResponseCode = 0;
}

void TForm1::NoteImage(const ImageSnapshot& image) {
  SequenceOutcome& details = sequence_.details;
  details.image_path = image.Path();
  details.image_size = image.Size();
  details.image_sha256 = image.Sha256();
}

void TForm1::NoteRunStart(const ImageSnapshot& image) {
  NoteImage(image);
  sequence_.details.blocks_total =
      static_cast<int32_t>(std::min<uint64_t>(image.BlockCount(BlockSize), INT32_MAX));
  sequence_.details.image_sent = false;
  sequence_.run = SequenceRecord::Run::kNone;
}

void TForm1::NoteRunEnd(bool aborted, uint16_t status) {
  sequence_.run = aborted ? SequenceRecord::Run::kAborted : SequenceRecord::Run::kComplete;
  sequence_.abort_status = status;
  sequence_.details.image_sent = !aborted;
}

void TForm1::NoteResetSent() {
  // The limit runs from the first reset after the run; the guided timer
  // repeats it every tick until it is answered.
  if (sequence_.run == SequenceRecord::Run::kNone || sequence_.reset_sent) return;
  sequence_.reset_sent = true;
  if (!sequence_.under_way || !env_.limits.reset_answer_ms) return;
  StartOnce(reset_limit_, *env_.limits.reset_answer_ms,
            [this](tk::TObject*) { ResetLimitPassed(); });
}

void TForm1::ArmCaptureLimit() {
  if (!sequence_.under_way || !env_.limits.capture_ms) return;
  StartOnce(capture_limit_, *env_.limits.capture_ms,
            [this](tk::TObject*) { CaptureLimitPassed(); });
}

void TForm1::EndSequenceWithError(const std::string& message) {
  EndSequence(SequenceEnding::kFailed, message);
}

void TForm1::CaptureLimitPassed() {
  Stop(capture_limit_);
  if (!sequence_.captured) EndSequence(SequenceEnding::kNoAnswerToCapture);
}

void TForm1::ResetLimitPassed() {
  Stop(reset_limit_);
  if (sequence_.reset_answered) return;
  EndSequence(sequence_.run == SequenceRecord::Run::kAborted ? SequenceEnding::kAbortedByTarget
                                                             : SequenceEnding::kNoAnswerToReset);
}

void TForm1::CheckForStall() {
  const bool waiting =
      Timer1.Enabled() || (LSCProgramTimer.Enabled() && GuidedTimerActsOn(LastResponseCode));
  if (waiting) {
    sequence_.stalled_since_ms.reset();
    return;
  }
  const int64_t now = NowMs();
  if (!sequence_.stalled_since_ms) sequence_.stalled_since_ms = now;
  if (now - *sequence_.stalled_since_ms >= *env_.limits.stall_ms) {
    EndSequence(SequenceEnding::kStalled);
  }
}

}  // namespace quarnel
