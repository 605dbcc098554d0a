// The programming run: the image goes to the target 24 bytes at a time, each
// block sent only once the target has acknowledged the one before (code 4).
// An unanswered record is sent again every 2 s, nine times at most. The run
// sends the image as it was read, whole, before anything was erased (or when
// the run started): a file changed meanwhile changes nothing.
#include <algorithm>
#include <array>
#include <climits>
#include <cstdint>
#include <utility>
#include <variant>

#include "link/codes.h"
#include "link/records.h"
#include "operations/block_ack.h"
#include "operations/image_snapshot.h"
#include "operations/retransmission.h"
#include "toolkit/application.h"
#include "toolkit/event_loop.h"
#include "ui/main_window.h"

namespace quarnel {
namespace {

constexpr uint32_t kPacingPauseMs = 30;  // lets the target finish programming the block

using Block = std::array<uint8_t, BlockSize>;

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
  // Checked at once: found only when programming starts, a missing or empty
  // image would cost the unit its capture and three erases for nothing.
  const auto checked = ReadImage(OpenDialog1.FileName);
  if (const auto* problem = std::get_if<ImageProblem>(&checked)) {
    BPicProgram.SetEnabled(false);
    RefuseImage(*problem);
    return;
  }
  SourceFileName = OpenDialog1.FileName;
  SourceFileChosen = true;
  UpdateButtonsForStatus(static_cast<uint16_t>(TargetStatus));
  // Shown only: the run always uses SourceFileName.
  EPicSource.SetText(SourceFileName);
  AppendLogLine(Memo1, SourceFileName);
}

std::variant<ImageSnapshotPtr, ImageProblem> TForm1::ReadImage(const std::string& path) const {
  // A front end that read the image already hands its snapshot over: one
  // read per process, and the unit gets what was checked.
  if (env_.image && env_.image->Path() == path) return env_.image;
  return ImageSnapshot::Take(path);
}

bool TForm1::TakeImageBeforeErasing() {
  auto taken = ReadImage(SourceFileName);
  if (const auto* problem = std::get_if<ImageProblem>(&taken)) {
    RefuseImage(*problem);
    return false;
  }
  checked_image_ = std::get<ImageSnapshotPtr>(std::move(taken));
  NoteImage(*checked_image_);
  return true;
}

void TForm1::RefuseImage(const ImageProblem& problem) {
  SequenceOutcome& details = sequence_.details;
  details.image_path = problem.path;
  details.image_size.reset();
  details.image_sha256.clear();
  checked_image_.reset();
  const bool connected = Connected();
  if (connected) {
    LastResponseCode = 0;
    ClosePort(SequenceEnding::kImageRefused, problem.reason);
  } else {
    EndSequence(SequenceEnding::kImageRefused, problem.reason);
  }
  tk::Application::Instance().ShowMessage(
      "The image " + problem.Describe() + ".\n" +
      (connected ? "The unit was not programmed and the port was closed: choose the image, "
                   "then start again."
                 : "Choose another image."));
}

void TForm1::BPicProgramClick(tk::TObject*) {
  Link.SequenceNumber = 0;
  Timer1.SetEnabled(false);
  Timer1.OnTimer = [this](tk::TObject* sender) { ProgramSupervisor(sender); };
  Timer1.SetInterval(kRetransmitIntervalMs);
  AppendLogLine(Memo1, "Program PIC");

  // A run already going is abandoned: its image must not feed a later
  // acknowledgement if this one cannot start.
  SourceImage.reset();
  SourceFileOpen = false;

  // The guided chain read the image before its first erase: the unit gets
  // exactly those bytes. Started by hand, the run reads it now.
  ImageSnapshotPtr image = std::exchange(checked_image_, nullptr);
  if (!image || image->Path() != SourceFileName) {
    auto taken = ReadImage(SourceFileName);
    if (const auto* problem = std::get_if<ImageProblem>(&taken)) {
      AppendLogLine(Memo1, problem->kind == ImageProblem::Kind::kEmpty
                               ? "Error accessing file " + SourceFileName
                               : "File " + SourceFileName + " not found");
      RefuseImage(*problem);
      return;
    }
    image = std::get<ImageSnapshotPtr>(std::move(taken));
  }
  NoteRunStart(*image);
  SourceImage = image;
  SourceFileOpen = true;
  Gauge1.Show();
  const uint64_t whole_blocks = image->Size() / BlockSize;
  Gauge1.SetMaxValue(static_cast<int>(std::min<uint64_t>(whole_blocks, INT_MAX)));
  BlocksSent = 1;
  SetPhase(SequencePhase::kProgram);

  Block block;
  image->CopyBlock(0, block);
  AppendLogLine(Memo1, "Programming from " + SourceFileName);
  SendDataRecord(Link, block, Port());
  NoteBlockSent();
  Timer1.SetEnabled(true);
  RetryCount = 0;
  DisableTargetButtons();
}

void TForm1::HandleBlockAck(const std::string& record) {
  Timer1.SetEnabled(false);
  // An answer came: no retransmission to tell of any more.
  if (SourceFileOpen) ShowRunningNote("");
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
  if (!SourceFileOpen || !SourceImage) return;

  // BlocksSent blocks have gone out; the next one is block BlocksSent.
  const auto next = static_cast<uint64_t>(BlocksSent);
  if (next >= SourceImage->BlockCount(BlockSize)) {
    AppendLogLine(Memo1, "Programming Complete");
    ShowTargetInfo(record);
    NoteRunEnd(false, status);
    ProgrammingComplete();
    return;
  }
  Block block;
  SourceImage->CopyBlock(next, block);
  tk::MainLoop().Pause(kPacingPauseMs);
  if (BlocksSent < INT32_MAX) ++BlocksSent;
  SendDataRecord(Link, block, Port());
  NoteBlockSent();
  Timer1.SetInterval(kRetransmitIntervalMs);
  Timer1.SetEnabled(true);
  RetryCount = 0;
}

void TForm1::ProgramSupervisor(tk::TObject*) {
  Timer1.SetEnabled(false);
  ++RetryCount;
  if (RetransmissionDue(RetryCount)) {
    ResendLastRecord(Link, Port());
    ++sequence_.details.retransmissions;
    // The gauge stands still meanwhile: say that the run goes on.
    ShowRunningNote("No answer to block " + std::to_string(BlocksSent) + " — sending it again (" +
                    std::to_string(RetryCount + 1) + " of " + std::to_string(kSendingsPerRecord) +
                    ")");
    Timer1.SetInterval(kRetransmitIntervalMs);
    Timer1.SetEnabled(true);
    // The run goes on: a late answer still counts, so the guided chain is
    // not told anything until the run itself has ended.
    return;
  }
  // The gauge stays where the run stopped, showing how far it got.
  ShowRunningNote("");
  AppendLogLine(Memo1, "FAILED - Comms Timeout Error");
  UpdateButtonsForStatus(static_cast<uint16_t>(TargetStatus));
  SourceImage.reset();
  SourceFileOpen = false;
  // With the guided timer, the marker 98 (its next tick closes the port);
  // without it the sequence ends here.
  NoAnswer(SequenceEnding::kNoAnswerToDataRecord);
}

void TForm1::ProgrammingComplete() {
  ShowRunningNote("");
  SetPhase(SequencePhase::kReset);
  Gauge1.Hide();
  Gauge1.SetProgress(0);
  // While the guided chain still resets the target and closes the port, a
  // new pick of a port must not cut it short: the chain's end enables it.
  if (!LSCProgramTimer.Enabled()) ButChooseCC.SetEnabled(true);
  SourceImage.reset();
  SourceFileOpen = false;
  UpdateButtonsForStatus(static_cast<uint16_t>(TargetStatus));
  LastResponseCode = kRunEndedMarker;
}

void TForm1::NoteBlockSent() {
  Gauge1.SetProgress(BlocksSent);
  sequence_.details.blocks_sent = BlocksSent;
  if (env_.on_progress && SourceImage) {
    env_.on_progress({BlocksSent, sequence_.details.blocks_total, SourceImage->Size()});
  }
}

}  // namespace quarnel
