// Listing the serial ports, opening the chosen one with the link's fixed line
// settings, and closing it again.
#include <exception>
#include <utility>

#include "comm/VaComm.h"
#include "platform/port_list.h"
#include "toolkit/application.h"
#include "toolkit/exceptions.h"
#include "toolkit/streaming.h"
#include "ui/main_window.h"
#include "ui/open_failure_hint.h"
#include "ui/vacomm_link_port.h"
#include "ui/window_definition.h"

namespace quarnel {
namespace {

constexpr char kDisconnectCaption[] = "Disconnect";
constexpr char kConnectCaption[] = "Connect";
constexpr uint32_t kGuidedTimerIntervalMs = 1500;

}  // namespace

void TForm1::CreateSerialPort() {
  VaComm = std::make_unique<comm::TVaComm>(this);
  VaComm->SetName("VaComm");
  tk::ReadComponent(*VaComm, std::string(VaCommDefinition()),
                    [this](const std::string& name) -> tk::TNotifyEvent {
                      if (name == "VaCommRxFlag") {
                        return [this](tk::TObject* sender) { VaCommRxFlag(sender); };
                      }
                      return {};
                    });
  // Not part of the window definition: the component's own event for a
  // device that went away.
  VaComm->OnDeviceGone = [this](tk::TObject* sender) { VaCommDeviceGone(sender); };
  own_port_ = std::make_unique<VaCommLinkPort>(*VaComm);
}

void TForm1::GetAvailSerialports(tk::TComboBox& list) {
  std::vector<std::string> names;
  listed_devices_.clear();
  if (env_.list_ports) {
    names = env_.list_ports();
  } else {
    for (const platform::PortEntry& entry : platform::ListSerialPorts()) {
      names.push_back(entry.name);
      listed_devices_[entry.name] = entry.device;
    }
  }
  list.Clear();
  for (const std::string& name : names) list.AddItem(name);
}

void TForm1::TCommPortClick(tk::TObject*) {
  GetAvailSerialports(CCommPort);
}

bool TForm1::Connected() const {
  return connect.Caption() == kDisconnectCaption;
}

void TForm1::connectClick(tk::TObject*) {
  if (!Connected()) {
    BeginSequence();
    OpenConnection();
    // The file dialog may have ended the sequence (cancelled: the window
    // closes; an image refused; the port gone meanwhile): nothing more goes
    // out then.
    if (!sequence_.under_way) return;
    AppendLogLine(Memo1, "Start Capture");
    SetPhase(SequencePhase::kCapture);
    LocateClick(&Locate);
    ArmCaptureLimit();
    ArmCaptureHint();
    return;
  }
  // Unless the guided timer closed the port at the end of its chain, the
  // operator ended the sequence.
  ClosePort(std::exchange(sequence_.ending_at_disconnect, std::nullopt)
                .value_or(SequenceEnding::kStoppedByOperator));
}

void TForm1::StopPortTimers() {
  // Whatever wrote to the port stops with it: a capture that repeats, an
  // erase's time-out, a run's retransmissions, the guided chain.
  Timer1.SetEnabled(false);
  LSCProgramTimer.SetEnabled(false);
  BStopCapture.SetEnabled(false);
  SourceFileOpen = false;
  SourceImage.reset();
  // Without a port these can do nothing.
  BErase.SetEnabled(false);
  BEraseEE.SetEnabled(false);
  BErasePRG.SetEnabled(false);
  BPicProgram.SetEnabled(false);
}

void TForm1::ClosePort(SequenceEnding ending, const std::string& message) {
  AppendLogLine(Memo1, "Comm Port Closed");
  connect.SetCaption(kConnectCaption);
  StopPortTimers();
  try {
    VaComm->Close();
  } catch (const std::exception& error) {
    tk::Application::Instance().ShowMessage(tk::ExceptionClassName(error) +
                                            " error raised, with message : " + error.what());
  } catch (...) {
    tk::Application::Instance().ShowMessage("Exception error raised, with message : " +
                                            tk::ExceptionMessage(std::current_exception()));
  }
  EndSequence(ending, message);
}

void TForm1::VaCommDeviceGone(tk::TObject*) {
  PortLost();
}

void TForm1::PortLost() {
  if (!Connected()) return;
  // Named as the port list shows it (a virtual port by its own name).
  const std::string port =
      sequence_.details.port.empty() ? VaComm->DeviceTitle() : sequence_.details.port;
  Gauge1.Hide();
  ClosePort(SequenceEnding::kPortLost);
  // Once, after the port is closed: nothing is left that could raise more.
  tk::Application::Instance().ShowMessage(
      "The port " + port +
      " is gone: the adapter may have been unplugged.\nThe port was closed. Plug the "
      "adapter in again, then choose the port and start again.");
}

void TForm1::StopSequence() {
  if (!sequence_.captured && Timer1.Enabled()) BStopCapture.Click();
  if (connect.Caption() == kDisconnectCaption) connect.Click();
}

void TForm1::OpenConnection() {
  try {
    OpenPort();
  } catch (...) {
    EndSequence(SequenceEnding::kPortNotOpened, tk::ExceptionMessage(std::current_exception()));
    throw;
  }
  AppendLogLine(Memo1, "Port " + CCommPort.Text() + " open");
  connect.SetCaption(kDisconnectCaption);
  BPicSourceClick(&BPicSource);
  if (!sequence_.under_way) return;
  LSCProgramTimer.SetInterval(kGuidedTimerIntervalMs);
  LSCProgramTimer.SetEnabled(true);
}

void TForm1::OpenPort() {
  VaComm->Close();
  // A virtual port is listed by its name; it opens as its entry's path.
  const auto listed = listed_devices_.find(CCommPort.Text());
  VaComm->SetDeviceName(listed != listed_devices_.end() ? listed->second : CCommPort.Text());
  // The link always runs at 115200 8N1; the baud list is not consulted.
  VaComm->SetBaudrate(comm::br115200);
  VaComm->SetDatabits(comm::db8);
  VaComm->SetParity(comm::paNone);
  VaComm->SetStopbits(comm::sb1);
  try {
    VaComm->Open();
  } catch (const comm::EVaCommError& error) {
    LSCProgramTimer.SetEnabled(false);
    // The general error report shows the message: add what the operator can
    // do about a refused or busy port.
    const std::string hint = OpenFailureHint(error.ErrorCode());
    if (hint.empty()) throw;
    throw comm::EVaCommError(std::string(error.what()) + "\n" + hint, error.ErrorCode());
  }
}

}  // namespace quarnel
