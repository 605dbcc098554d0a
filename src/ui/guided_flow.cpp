// The guided flow: two buttons and a pick in the port list, then the guided
// timer chains capture, the three erases, programming, reset and disconnect,
// each started by the target's answer to the step before.
#include "ui/main_window.h"

namespace quarnel {
namespace {

// Response codes and host markers the guided timer acts on.
constexpr int32_t kCaptured = 3;
constexpr int32_t kErasedAll = 6;
constexpr int32_t kErasedProgram = 7;
constexpr int32_t kErasedData = 8;
constexpr int32_t kWasReset = 9;
constexpr int32_t kNoAnswer = 98;
constexpr int32_t kRunEnded = 99;

}  // namespace

void TForm1::ButChooseCCClick(tk::TObject*) {
  GetAvailSerialports(CCommPort);
  CCommPort.Show();
  CCommPort.SetEnabled(true);
  CCommPort.SetAutoDropDown(true);
  CCommPort.SetDroppedDown(true);
}

void TForm1::CCommPortClick(tk::TObject*) {
  ButChooseCC.SetEnabled(false);
  ButConnectProgram.SetEnabled(true);
  CCommPort.SetEnabled(false);
}

void TForm1::ButConnectProgramClick(tk::TObject*) {
  connectClick(&connect);
  ButConnectProgram.SetEnabled(false);
}

void TForm1::LSCProgramTimerTimer(tk::TObject*) {
  switch (LastResponseCode) {
    case kCaptured:
      connect.SetEnabled(false);
      BEraseClick(&BErase);
      LastResponseCode = 0;
      break;
    case kErasedAll:
      BEraseEEClick(&BEraseEE);
      LastResponseCode = 0;
      break;
    case kErasedData:
      BErasePRGClick(&BErasePRG);
      LastResponseCode = 0;
      break;
    case kErasedProgram:
      BPicProgramClick(&BPicProgram);
      LastResponseCode = 0;
      break;
    case kRunEnded:
      // The code stays: the reset goes out on every tick until answered.
      BResetTargetClick(&BResetTarget);
      break;
    case kWasReset:
      LastResponseCode = 0;
      LSCProgramTimer.SetEnabled(false);
      connect.SetEnabled(true);
      connectClick(&connect);
      break;
    case kNoAnswer:
      LastResponseCode = 0;
      Gauge1.Hide();
      LSCProgramTimer.SetEnabled(false);
      connect.SetEnabled(true);
      connectClick(&connect);
      break;
    default:
      break;
  }
}

}  // namespace quarnel
