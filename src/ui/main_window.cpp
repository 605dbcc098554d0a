// The main window: building its controls, start-up, key handling and the
// two displays.
#include "ui/main_window.h"

#include <chrono>
#include <ctime>

#include "comm/VaComm.h"
#include "ui/titles.h"
#include "ui/window_geometry.h"

namespace quarnel {
namespace {

// A display that holds more lines than this loses its oldest one first.
constexpr int kDisplayLineCap = 100;

}  // namespace

TForm1::TForm1() : TForm1(Environment{}) {}

TForm1::TForm1(Environment environment) : env_(std::move(environment)) {
  // A timer starts out running; the limits run only when a sequence asks.
  for (tk::TTimer* limit : {&capture_limit_, &reset_limit_, &stall_check_, &capture_hint_}) {
    limit->SetEnabled(false);
  }
  BuildControls();
  CreateSerialPort();
  BindHandlers();
  FormCreate(this);
}

// Out of line: the port and the image reader are complete types here.
TForm1::~TForm1() = default;

LinkPort& TForm1::Port() {
  return env_.port != nullptr ? *env_.port : *own_port_;
}

void TForm1::FormCreate(tk::TObject*) {
  SetCaption(kMainWindowCaption);
  Memo1.ClearLines();
  DataResponse.ClearLines();
  LabPowerOff.SetCaption("1. Turn off the power to the Unit/Controller");
  LabPowerOn.SetCaption("4. Turn on the power to the Unit/Controller again");
  EngineeringMode = 0;
  ReconfigInterface();
  GetAvailSerialports(CCommPort);
  if (!CCommPort.Items().empty()) CCommPort.SetItemIndex(0);
  AppendLogLine(Memo1, "Program Ready");
  DisableTargetButtons();
  BResetTarget.SetEnabled(true);
  Locate.SetEnabled(true);
  SourceFileChosen = false;
  SourceFileOpen = false;
  BStopCapture.SetEnabled(false);
  Link.SequenceNumber = 0;
}

void TForm1::FormClose(tk::TObject*) {
  // Nothing more goes out once the window closes (a cancelled file dialog
  // closes it in the middle of Connect).
  StopPortTimers();
  EndSequence(SequenceEnding::kStoppedByOperator);
}

void TForm1::FormKeyDown(tk::TObject*, uint16_t& key, tk::TShiftState) {
  // The key is left as it is: the focused control still sees it.
  if (key != tk::VK_F12) return;
  EngineeringMode = static_cast<uint8_t>(1 - EngineeringMode);
  ReconfigInterface();
}

void TForm1::AppendLogLine(tk::TMemo& display, const std::string& line) {
  if (display.LineCount() > kDisplayLineCap) display.DeleteFirstLine();
  display.AddLine(line);
  if (&display == &Memo1 && env_.on_status_line) env_.on_status_line(line);
}

void TForm1::BClearStatusClick(tk::TObject*) {
  DataResponse.ClearLines();
  Memo1.ClearLines();
}

std::string TForm1::TimeStamp() const {
  if (env_.clock_text) return env_.clock_text();
  const std::time_t now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
  // Only the main thread asks for the time, so the shared result is safe.
  const std::tm* local = std::localtime(&now);
  char text[16] = "00:00:00";
  if (local != nullptr) std::strftime(text, sizeof text, "%H:%M:%S", local);
  return text;
}

}  // namespace quarnel
