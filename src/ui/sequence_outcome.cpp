// How a sequence ends: what the window notes while it runs, the limits a
// front end may add, and the one place that raises the ending.
#include "ui/sequence_outcome.h"

#include <algorithm>
#include <climits>

#include "link/codes.h"
#include "link/records.h"
#include "toolkit/event_loop.h"
#include "ui/main_window.h"
#include "ui/result_line.h"

namespace quarnel {
namespace {

// How often a stall limit is looked at.
constexpr uint32_t kStallCheckMs = 250;

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
  sequence_ = SequenceRecord{};
  sequence_.under_way = true;
  sequence_.started_ms = NowMs();
  sequence_.details.port = CCommPort.Text();
  last_outcome_.reset();
  checked_image_.reset();
  LabResult.SetCaption("");
  // Running: a new pick of a port must not disconnect the chain midway.
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

  SequenceOutcome outcome = sequence_.details;
  outcome.ending = ending;
  outcome.message = message;
  outcome.last_response_code = LastResponseCode;
  if (sequence_.run == SequenceRecord::Run::kAborted) outcome.status = sequence_.abort_status;
  outcome.reset_answered = ending == SequenceEnding::kProgrammed ||
                           (ending == SequenceEnding::kAbortedByTarget && sequence_.reset_answered);
  outcome.elapsed_ms = NowMs() - sequence_.started_ms;
  last_outcome_ = outcome;
  checked_image_.reset();
  ShowEnding(outcome);
  if (env_.on_outcome) env_.on_outcome(outcome);
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

void TForm1::NoteAnswer(const std::string& target_id, uint16_t status, int32_t code) {
  SequenceOutcome& details = sequence_.details;
  ++details.answers_accepted;
  details.target_id = target_id;
  details.status = status;
  if (code == kInLoaderModeCode) {
    sequence_.captured = true;
    Stop(capture_limit_);
  } else if (code == kDeviceResetCode) {
    sequence_.reset_answered = true;
    Stop(reset_limit_);
  }
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
