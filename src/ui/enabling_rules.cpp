// Which target operations the operator may start, from the target's status.
#include "link/status_bits.h"
#include "ui/main_window.h"

namespace quarnel {

void TForm1::DisableTargetButtons() {
  Locate.SetEnabled(false);
  BPicProgram.SetEnabled(false);
  BErase.SetEnabled(false);
  BEraseEE.SetEnabled(false);
  BErasePRG.SetEnabled(false);
}

void TForm1::UpdateButtonsForStatus(uint16_t status) {
  // Without an open port the target operations can do nothing, whatever the
  // last status word said.
  if ((status & kStatusLoaderMode) != 0 && Port().IsOpen()) {
    BErase.SetEnabled(true);
    BEraseEE.SetEnabled(true);
    BErasePRG.SetEnabled(true);
    // Without a chosen file Program PIC keeps whatever state it had.
    if (SourceFileChosen) BPicProgram.SetEnabled(true);
    BResetTarget.SetEnabled(true);
  } else {
    DisableTargetButtons();
  }
  Locate.SetEnabled(true);
  BStopCapture.SetEnabled(false);
}

}  // namespace quarnel
