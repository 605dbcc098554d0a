// The guided flow: two buttons and a pick in the port list, then the guided
// timer chains capture, the three erases, programming, reset and disconnect,
// each started by the target's answer to the step before.
#include <utility>

#include "link/codes.h"
#include "ui/main_window.h"

namespace quarnel {

bool TForm1::GuidedTimerActsOn(int32_t code) {
  switch (code) {
    case kInLoaderModeCode:
    case kDeviceErasedCode:
    case kEepromErasedCode:
    case kProgramMemoryErasedCode:
    case kRunEndedMarker:
    case kDeviceResetCode:
    case kNoAnswerMarker:
      return true;
    default:
      return false;
  }
}

void TForm1::ButChooseCCClick(tk::TObject*) {
  if (sequence_.under_way && phase_ == SequencePhase::kCapture) {
    // The operator gives up on this port while the capture waits: the
    // capture stops and the port closes, as with Disconnect, and the result
    // line says so while another port is chosen.
    StopSequence();
  } else {
    // The next unit begins: the last one's result no longer applies.
    LabResult.SetCaption("");
  }
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
  // A sequence that could not start (its image refused) leaves the button
  // for another try, as a port that could not be opened does.
  if (sequence_.under_way) ButConnectProgram.SetEnabled(false);
}

void TForm1::LSCProgramTimerTimer(tk::TObject*) {
  if (sequence_.wrong_target) {
    // The reset went out a tick ago: the unit has left its loader untouched.
    LastResponseCode = 0;
    LSCProgramTimer.SetEnabled(false);
    connect.SetEnabled(true);
    sequence_.ending_at_disconnect = SequenceEnding::kWrongTarget;
    connectClick(&connect);
    return;
  }
  switch (LastResponseCode) {
    case kInLoaderModeCode:
      // Only a unit that may be programmed here is touched.
      if (!TargetAllowed(sequence_.details.target_id)) {
        RefuseTarget();
        break;
      }
      // The image is read now, whole, before anything is erased: a missing
      // or empty one stops the chain here, with the unit as it was.
      if (!TakeImageBeforeErasing()) break;
      connect.SetEnabled(false);
      BEraseClick(&BErase);
      LastResponseCode = 0;
      break;
    case kDeviceErasedCode:
      BEraseEEClick(&BEraseEE);
      LastResponseCode = 0;
      break;
    case kEepromErasedCode:
      BErasePRGClick(&BErasePRG);
      LastResponseCode = 0;
      break;
    case kProgramMemoryErasedCode:
      BPicProgramClick(&BPicProgram);
      LastResponseCode = 0;
      break;
    case kRunEndedMarker:
      // The code stays: the reset goes out on every tick until answered.
      BResetTargetClick(&BResetTarget);
      break;
    case kDeviceResetCode:
      LastResponseCode = 0;
      LSCProgramTimer.SetEnabled(false);
      connect.SetEnabled(true);
      if (sequence_.run == SequenceRecord::Run::kComplete) {
        sequence_.ending_at_disconnect = SequenceEnding::kProgrammed;
      } else if (sequence_.run == SequenceRecord::Run::kAborted) {
        sequence_.ending_at_disconnect = SequenceEnding::kAbortedByTarget;
      } else {
        sequence_.ending_at_disconnect = SequenceEnding::kResetBeforeProgramming;
      }
      connectClick(&connect);
      break;
    case kNoAnswerMarker:
      LastResponseCode = 0;
      Gauge1.Hide();
      LSCProgramTimer.SetEnabled(false);
      connect.SetEnabled(true);
      // The marker is left by the erase time-out or the retransmission timer.
      sequence_.ending_at_disconnect = std::exchange(sequence_.no_answer, std::nullopt)
                                           .value_or(SequenceEnding::kNoAnswerToDataRecord);
      connectClick(&connect);
      break;
    default:
      break;
  }
}

}  // namespace quarnel
