// The single-command operations on the target: capture, stop capture, the
// three erases with their time-out, reset, and the hidden simulated capture.
// Each operation that waits for an answer arms the shared operation timer
// Timer1 with its own handler; the response decoder stops it on an answer.
#include <cstdint>

#include "link/codes.h"
#include "link/records.h"
#include "link/status_bits.h"
#include "ui/main_window.h"

namespace quarnel {
namespace {

constexpr uint32_t kCaptureRepeatMs = 500;
constexpr uint32_t kEraseTimeoutMs = 20000;

// Whatever Timer1 was waiting for is replaced without a word.
void ArmOperationTimer(tk::TTimer& timer, tk::TNotifyEvent handler, uint32_t interval_ms) {
  timer.SetEnabled(false);
  timer.OnTimer = std::move(handler);
  timer.SetInterval(interval_ms);
  timer.SetEnabled(true);
}

}  // namespace

void TForm1::LocateClick(tk::TObject*) {
  ArmOperationTimer(
      Timer1, [this](tk::TObject* sender) { DiscoverySupervisor(sender); }, kCaptureRepeatMs);
  SendCommand(Link, kCaptureCommand, Port());
  BStopCapture.SetEnabled(true);
}

void TForm1::DiscoverySupervisor(tk::TObject* sender) {
  // Until the target answers, every tick sends a fresh capture command.
  LocateClick(sender);
}

void TForm1::BStopCaptureClick(tk::TObject*) {
  Timer1.SetEnabled(false);
  BStopCapture.SetEnabled(false);
  Locate.SetEnabled(true);
  AppendLogLine(Memo1, "Stop Capture");
}

namespace {

void StartErase(TForm1& form, int command, const char* log_line) {
  SendCommand(form.Link, command, form.Port());
  // No other target operation until the answer or the time-out.
  form.DisableTargetButtons();
  ArmOperationTimer(
      form.Timer1, [&form](tk::TObject* sender) { form.CatchEraseError(sender); }, kEraseTimeoutMs);
  form.AppendLogLine(form.Memo1, log_line);
}

}  // namespace

void TForm1::BEraseClick(tk::TObject*) {
  StartErase(*this, kEraseAllCommand, "Erase Target");
}

void TForm1::BEraseEEClick(tk::TObject*) {
  StartErase(*this, kEraseDataCommand, "Erase Data ");
}

void TForm1::BErasePRGClick(tk::TObject*) {
  StartErase(*this, kEraseProgramCommand, "Erase Program");
}

void TForm1::CatchEraseError(tk::TObject*) {
  // Nothing is known of the target now: only a new capture is offered.
  // TargetStatus keeps the last word the target reported.
  UpdateButtonsForStatus(0);
  Timer1.SetEnabled(false);
  AppendLogLine(Memo1, "ERROR - No response to ERASE command");
  // With the guided timer, the marker 98 (its next tick disconnects).
  NoAnswer(SequenceEnding::kNoAnswerToErase);
}

void TForm1::BResetTargetClick(tk::TObject*) {
  // Timer1 is left alone: whatever it supervises goes on.
  SendCommand(Link, kResetCommand, Port());
  Gauge1.Hide();
  AppendLogLine(Memo1, "Reset Target");
  NoteResetSent();
}

void TForm1::Button1Click(tk::TObject*) {
  UpdateButtonsForStatus(kStatusLoaderMode);
  Timer1.SetEnabled(false);
  BStopCapture.SetEnabled(false);
}

}  // namespace quarnel
