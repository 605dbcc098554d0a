#pragma once
// TForm1, the main window, as a plain model: its controls are members with
// their window names and every handler works on them directly. The Qt window
// (src/toolkit/qt) is only a view of it; the command-line front end and the
// tests drive it without a display.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "link/link_port.h"
#include "link/link_state.h"
#include "toolkit/controls.h"

namespace comm {
class TVaComm;
}

namespace quarnel {

class ImageReader;

class TForm1 : public tk::TForm {
 public:
  // What the window takes from its surroundings; tests replace parts of it.
  struct Environment {
    // The serial port names for the port list; empty: the machine's ports.
    std::function<std::vector<std::string>()> list_ports;
    // Where records go and answers come from; null: the window's own VaComm.
    LinkPort* port = nullptr;
    // "hh:mm:ss" of the current local time; empty: the system clock.
    std::function<std::string()> clock_text;
  };

  // Builds every control, then runs FormCreate.
  TForm1();
  explicit TForm1(Environment environment);
  ~TForm1() override;
  std::string ClassName() const override { return "TForm1"; }

  // ---- controls, by their window names ----
  tk::TLabel TCommPort{this};
  tk::TLabel TBaudRate{this};
  tk::TComboBox CBaudRate{this};
  tk::TComboBox CCommPort{this};
  tk::TButton connect{this};
  tk::TButton Button1{this};

  tk::TPanel Panel2{this};
  tk::TPanel Panel3{this};
  tk::TLabel Label1{this};
  tk::TButton BPicSource{this};
  tk::TEdit EPicSource{this};
  tk::TButton BErase{this};
  tk::TButton BEraseEE{this};
  tk::TButton BErasePRG{this};
  tk::TButton BPicProgram{this};
  tk::TLabel Label2{this};
  tk::TMemo DataResponse{this};

  tk::TPanel Panel1{this};
  tk::TButton Locate{this};
  tk::TButton BStopCapture{this};
  tk::TButton BResetTarget{this};
  tk::TButton BClearStatus{this};
  tk::TPanel Panel_user{this};
  tk::TLabel LabPowerOff{this};
  tk::TLabel LabNum2{this};
  tk::TButton ButChooseCC{this};
  tk::TLabel LabNum4{this};
  tk::TButton ButConnectProgram{this};
  tk::TLabel LabPowerOn{this};
  tk::TGauge Gauge1{this};
  tk::TLabel Label9{this};
  tk::TMemo Memo1{this};

  tk::TOpenDialog OpenDialog1{this};
  tk::TTimer Timer1{this};
  tk::TTimer LSCProgramTimer{this};
  std::unique_ptr<comm::TVaComm> VaComm;

  // ---- fields ----
  // This window's side of the link: its own sequence numbers and last record,
  // and the status word of the last answer that passed the sequence check.
  LinkState Link;
  int32_t TargetStatus = 0;
  uint8_t EngineeringMode = 0;   // 1 = full layout, 0 = guided layout
  int32_t LastResponseCode = 0;  // last accepted code, or the markers 98 / 99
  std::string ReceivedLine;
  int32_t ReceivedLength = 0;
  std::string SourceFileName;
  bool SourceFileChosen = false;
  bool SourceFileOpen = false;
  std::unique_ptr<ImageReader> SourceFile;
  int32_t BlocksSent = 0;
  int32_t RetryCount = 0;

  // ---- main window ----
  void FormCreate(tk::TObject* sender = nullptr);
  void FormClose(tk::TObject* sender = nullptr);
  void FormKeyDown(tk::TObject* sender, uint16_t& key, tk::TShiftState shift);
  void ReconfigInterface();
  void AppendLogLine(tk::TMemo& display, const std::string& line);
  void DisableTargetButtons();
  void UpdateButtonsForStatus(uint16_t status);
  void BClearStatusClick(tk::TObject* sender = nullptr);

  // ---- responses and status reporting ----
  void VaCommRxFlag(tk::TObject* sender = nullptr);
  void HandleReceivedLine();
  void DecodeResponse();
  void ShowTargetInfo(const std::string& record);
  void ReportStatusBits(uint16_t status);

  // ---- programming run ----
  void BPicSourceClick(tk::TObject* sender = nullptr);
  void BPicProgramClick(tk::TObject* sender = nullptr);
  void HandleBlockAck(const std::string& record);
  void ProgramSupervisor(tk::TObject* sender = nullptr);
  void ProgrammingComplete();

  // ---- target commands ----
  void LocateClick(tk::TObject* sender = nullptr);
  void DiscoverySupervisor(tk::TObject* sender = nullptr);
  void BStopCaptureClick(tk::TObject* sender = nullptr);
  void BEraseClick(tk::TObject* sender = nullptr);
  void BEraseEEClick(tk::TObject* sender = nullptr);
  void BErasePRGClick(tk::TObject* sender = nullptr);
  void CatchEraseError(tk::TObject* sender = nullptr);
  void BResetTargetClick(tk::TObject* sender = nullptr);
  void Button1Click(tk::TObject* sender = nullptr);

  // ---- connection ----
  void GetAvailSerialports(tk::TComboBox& list);
  void TCommPortClick(tk::TObject* sender = nullptr);
  void connectClick(tk::TObject* sender = nullptr);
  void OpenConnection();

  // ---- guided flow ----
  void ButChooseCCClick(tk::TObject* sender = nullptr);
  void CCommPortClick(tk::TObject* sender = nullptr);
  void ButConnectProgramClick(tk::TObject* sender = nullptr);
  void LSCProgramTimerTimer(tk::TObject* sender = nullptr);

  // The port the loader logic writes records to and reads answers from.
  LinkPort& Port();

 private:
  void BuildControls();     // names, captions, fonts, geometry, parents
  void BindHandlers();      // OnClick and the like
  void CreateSerialPort();  // VaComm from its window definition
  std::string TimeStamp() const;

  Environment env_;
  std::unique_ptr<LinkPort> own_port_;  // adapter over VaComm
};

}  // namespace quarnel
