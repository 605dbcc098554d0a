// The programming run: the image goes to the target 24 bytes at a time, each
// block sent only once the target has acknowledged the one before (code 4).
// An unanswered record is sent again every 2 s, nine times at most.
#include <algorithm>
#include <array>
#include <climits>
#include <cstdint>

#include "link/codes.h"
#include "link/records.h"
#include "operations/block_ack.h"
#include "operations/image_reader.h"
#include "operations/retransmission.h"
#include "toolkit/event_loop.h"
#include "ui/main_window.h"

namespace quarnel {
namespace {

constexpr uint32_t kPacingPauseMs = 30;  // lets the target finish programming the block

using Block = std::array<uint8_t, BlockSize>;

// A short last block is padded with zeros; the target ignores what follows
// the image's own end.
size_t ReadBlock(ImageReader& file, Block& block) {
  block.fill(0);
  return file.Read(block);
}

}  // namespace

void TForm1::BPicSourceClick(tk::TObject*) {
  SourceFileName.clear();
  EPicSource.SetText("");
  SourceFileChosen = false;

  OpenDialog1.Filter = "*.cry|*.cry";
  OpenDialog1.DefaultExt = "cry";
  OpenDialog1.OptionsEx = tk::ofExNoPlacesBar;
  if (!OpenDialog1.Execute()) {
    // Without an image there is nothing to do: the program ends.
    Close();
    return;
  }
  SourceFileName = OpenDialog1.FileName;
  SourceFileChosen = true;
  UpdateButtonsForStatus(static_cast<uint16_t>(TargetStatus));
  // Shown only: the run always uses SourceFileName.
  EPicSource.SetText(SourceFileName);
  AppendLogLine(Memo1, SourceFileName);
}

void TForm1::BPicProgramClick(tk::TObject*) {
  Link.SequenceNumber = 0;
  Timer1.SetEnabled(false);
  Timer1.OnTimer = [this](tk::TObject* sender) { ProgramSupervisor(sender); };
  Timer1.SetInterval(kRetransmitIntervalMs);
  AppendLogLine(Memo1, "Program PIC");

  // A run already going is abandoned; its file must not feed a later
  // acknowledgement if the new file can't be opened.
  SourceFile.reset();
  SourceFileOpen = false;

  SourceFile = ImageReader::Open(SourceFileName);
  if (!SourceFile) {
    AppendLogLine(Memo1, "File " + SourceFileName + " not found");
    NoteRunStart(std::nullopt);
    EndSequence(SequenceEnding::kImageRefused);
    return;
  }
  NoteRunStart(SourceFile->Size());
  SourceFileOpen = true;
  Gauge1.Show();
  const uintmax_t whole_blocks = SourceFile->Size() / BlockSize;
  Gauge1.SetMaxValue(static_cast<int>(std::min<uintmax_t>(whole_blocks, INT_MAX)));
  BlocksSent = 1;
  Gauge1.SetProgress(BlocksSent);

  Block block;
  if (ReadBlock(*SourceFile, block) == 0) {
    SourceFile.reset();
    SourceFileOpen = false;
    AppendLogLine(Memo1, "Error accessing file " + SourceFileName);
    EndSequence(SequenceEnding::kImageRefused);
    return;
  }
  AppendLogLine(Memo1, "Programming from " + SourceFileName);
  SendDataRecord(Link, block, Port());
  sequence_.details.blocks_sent = BlocksSent;
  Timer1.SetEnabled(true);
  RetryCount = 0;
  DisableTargetButtons();
}

void TForm1::HandleBlockAck(const std::string& record) {
  Timer1.SetEnabled(false);
  const auto status = static_cast<uint16_t>(TargetStatus);
  const AckMeaning meaning = MeaningOfAck(status);
  if (meaning != AckMeaning::kGoOn) {
    // Only a record error shows the buttons for the new status first.
    if (meaning == AckMeaning::kRecordError) UpdateButtonsForStatus(status);
    for (const std::string& line : AbortLines(meaning, status)) AppendLogLine(Memo1, line);
    ShowTargetInfo(record);
    NoteRunEnd(true, status);
    ProgrammingComplete();
    return;
  }
  if (!SourceFileOpen || !SourceFile) return;

  Block block;
  if (ReadBlock(*SourceFile, block) == 0) {
    AppendLogLine(Memo1, "Programming Complete");
    ShowTargetInfo(record);
    NoteRunEnd(false, status);
    ProgrammingComplete();
    return;
  }
  tk::MainLoop().Pause(kPacingPauseMs);
  if (BlocksSent < INT32_MAX) ++BlocksSent;
  Gauge1.SetProgress(BlocksSent);
  SendDataRecord(Link, block, Port());
  sequence_.details.blocks_sent = BlocksSent;
  Timer1.SetInterval(kRetransmitIntervalMs);
  Timer1.SetEnabled(true);
  RetryCount = 0;
}

void TForm1::ProgramSupervisor(tk::TObject*) {
  Timer1.SetEnabled(false);
  ++RetryCount;
  const bool resend = RetransmissionDue(RetryCount);
  if (resend) {
    ResendLastRecord(Link, Port());
    ++sequence_.details.retransmissions;
    Timer1.SetInterval(kRetransmitIntervalMs);
    Timer1.SetEnabled(true);
  } else {
    // The gauge stays where the run stopped, showing how far it got.
    AppendLogLine(Memo1, "FAILED - Comms Timeout Error");
    UpdateButtonsForStatus(static_cast<uint16_t>(TargetStatus));
    if (SourceFileOpen) {
      SourceFile.reset();
      SourceFileOpen = false;
    }
  }
  // With the guided timer every expiry tells it (marker 98); without it the
  // run, and the sequence, end with the last one.
  if (LSCProgramTimer.Enabled() || !resend) NoAnswer(SequenceEnding::kNoAnswerToDataRecord);
}

void TForm1::ProgrammingComplete() {
  Gauge1.Hide();
  Gauge1.SetProgress(0);
  ButChooseCC.SetEnabled(true);
  if (SourceFileOpen) {
    SourceFile.reset();
    SourceFileOpen = false;
  }
  UpdateButtonsForStatus(static_cast<uint16_t>(TargetStatus));
  LastResponseCode = kRunEndedMarker;
}

}  // namespace quarnel
