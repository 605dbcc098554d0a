#pragma once
// TForm1, the main window, as a plain model: its controls are members with
// their window names and every handler works on them directly. The Qt and
// Win32 windows (src/view/) are only views of it; the command-line front end
// and the tests drive it without a display, and follow it through the typed
// state below, never through captions or display lines.
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "link/link_port.h"
#include "link/link_state.h"
#include "operations/image_snapshot.h"
#include "operations/sequence_outcome.h"
#include "toolkit/controls.h"

namespace comm {
class TVaComm;
}

namespace quarnel {

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
    // Limits a front end adds to the sequence; none by default.
    SequenceLimits limits;
    // Told once at the end of every sequence how it ended.
    std::function<void(const SequenceOutcome&)> on_outcome;
    // The image the front end has read and checked already: when the
    // operator chooses that very file, the sequence programs this snapshot
    // and the file is not read again. None: the chosen file is read.
    ImageSnapshotPtr image;
    // Every line written to the status display, as it is written.
    std::function<void(const std::string&)> on_status_line;
    // Where the sequence is, whenever that changes.
    std::function<void(SequencePhase)> on_phase;
    // A block of the image went out: the first, then each acknowledged one.
    std::function<void(const RunProgress&)> on_progress;
    // The target IDs a unit may have (four hex digits, any case); empty: any
    // unit. The guided chain resets any other unit out of its loader as it
    // was, before anything is erased, and ends kWrongTarget.
    std::vector<std::string> allowed_target_ids;
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
  // How the last sequence ended, in the free space below step 4; empty while
  // a sequence runs.
  tk::TLabel LabResult{this};
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
  bool SourceFileOpen = false;  // a run is programming from SourceImage
  // What the run sends: the image as it was read, whole, before anything was
  // erased (guided chain) or when the run started.
  ImageSnapshotPtr SourceImage;
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
  // The port's device went away (an unplugged adapter): see PortLost.
  void VaCommDeviceGone(tk::TObject* sender = nullptr);
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

  // ---- how a sequence ends ----
  // The ending of the last sequence; none before the first ends.
  const std::optional<SequenceOutcome>& LastOutcome() const { return last_outcome_; }
  // A sequence began with Connect and has not ended yet.
  bool SequenceUnderWay() const { return sequence_.under_way; }
  // Where the sequence is; kOpening before the first one.
  SequencePhase Phase() const { return phase_; }
  // The port is open: Disconnect would close it.
  bool PortOpen() const { return Connected(); }
  // What an operator does to stop the sequence under way: a capture that
  // still repeats is stopped, then the port closed.
  void StopSequence();
  // The port's device went away: the timers that write to it stop, the port
  // is closed, one message names it, and the sequence ends as kPortLost.
  void PortLost();
  // For a front end that counts an error that no handler caught as the end of
  // the sequence under way: it ends as kFailed with `message`.
  void EndSequenceWithError(const std::string& message);

 private:
  // What the window notes of the sequence under way, for its outcome.
  struct SequenceRecord {
    bool under_way = false;
    int64_t started_ms = 0;
    bool captured = false;  // the target answered a capture
    enum class Run { kNone, kComplete, kAborted } run = Run::kNone;
    uint16_t abort_status = 0;
    bool reset_sent = false;  // after the run ended
    bool reset_answered = false;
    // The target ID that answered the capture; every later answer must carry it.
    std::string captured_target_id;
    bool wrong_target = false;  // reset untouched: the guided timer's next tick ends it
    // What the guided timer's next disconnect ends the sequence with: set by
    // the tick that decides it, or by a time-out that leaves the marker 98.
    std::optional<SequenceEnding> ending_at_disconnect;
    std::optional<SequenceEnding> no_answer;  // what the marker 98 stands for
    std::optional<int64_t> stalled_since_ms;
    SequenceOutcome details;  // filled in as the sequence goes
  };

  void BeginSequence();
  void EndSequence(SequenceEnding ending, const std::string& message = {});
  // A time-out with nothing more to wait for: with the guided timer running
  // it leaves the marker 98 for the timer's next tick, otherwise it ends the
  // sequence at once.
  void NoAnswer(SequenceEnding ending);
  // False when the answer comes from another unit than the one captured:
  // the sequence has ended then, and the answer must not be acted on.
  bool NoteAnswer(const std::string& target_id, uint16_t status, int32_t code);
  bool TargetAllowed(const std::string& target_id) const;
  // The captured unit is not one of those allowed: it is reset and left as
  // it was; the guided timer's next tick closes the port.
  void RefuseTarget();
  void NoteImage(const ImageSnapshot& image);
  void NoteRunStart(const ImageSnapshot& image);
  void NoteRunEnd(bool aborted, uint16_t status);
  void NoteResetSent();
  void ArmCaptureLimit();
  void CaptureLimitPassed();
  void ResetLimitPassed();
  void CheckForStall();
  void SetPhase(SequencePhase phase);
  // A block went out: the gauge, the outcome's count and the front end.
  void NoteBlockSent();
  // While the capture waits with no answer at all, the result line says
  // what to check once kCaptureHintMs have passed.
  void ArmCaptureHint();
  void ShowCaptureHint();
  // The image at `path`: the front end's snapshot when it is that file,
  // otherwise read now.
  std::variant<ImageSnapshotPtr, ImageProblem> ReadImage(const std::string& path) const;
  // The result line's words while a sequence runs (a hint, a retransmission),
  // in the text colour.
  void ShowRunningNote(const std::string& text);
  // The end of every sequence leaves a way on: the port can be chosen again,
  // and the result line says how it ended.
  void ShowEnding(const SequenceOutcome& outcome);

  // Closes the port as Disconnect does and ends the sequence with `ending`.
  void ClosePort(SequenceEnding ending, const std::string& message = {});
  // Stops every timer that writes to the port, and what they were doing.
  void StopPortTimers();
  // The image, read whole before the first erase; false when it was refused.
  bool TakeImageBeforeErasing();
  // A missing, unreadable or empty image: the sequence stops (the port is
  // closed) and a message box names the file and says why.
  void RefuseImage(const ImageProblem& problem);
  // The port is open; Disconnect would close it.
  bool Connected() const;
  // The codes on which the guided timer starts the next step.
  static bool GuidedTimerActsOn(int32_t code);
  int64_t NowMs() const;

  void BuildControls();     // names, captions, fonts, geometry, parents
  void BindHandlers();      // OnClick and the like
  void CreateSerialPort();  // VaComm from its window definition
  void OpenPort();          // the first steps of OpenConnection: the settings, then Open
  std::string TimeStamp() const;

  Environment env_;
  std::unique_ptr<LinkPort> own_port_;  // adapter over VaComm
  SequenceRecord sequence_;
  SequencePhase phase_ = SequencePhase::kOpening;
  // The devices behind the names the port list shows.
  std::map<std::string, std::string> listed_devices_;
  // The image read before the first erase, for the run that follows.
  ImageSnapshotPtr checked_image_;
  std::optional<SequenceOutcome> last_outcome_;
  // The limits of env_.limits; not controls of the window.
  tk::TTimer capture_limit_{nullptr};
  tk::TTimer reset_limit_{nullptr};
  tk::TTimer stall_check_{nullptr};
  tk::TTimer capture_hint_{nullptr};
};

}  // namespace quarnel
