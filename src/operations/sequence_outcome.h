#pragma once
// How a sequence of the window ended, and where it is, as values. A sequence runs from
// Connect to its ending; the window raises the ending where its own
// behaviour ends the sequence, once. Front ends, logs and result lines read
// this value; nothing reads the status display to learn how things went.
#include <cstdint>
#include <optional>
#include <string>

namespace quarnel {

enum class SequenceEnding {
  kProgrammed,              // "Programming Complete", then the target answered the reset
  kAbortedByTarget,         // an acknowledgement reported an error (`status`); the run stopped
  kNoAnswerToCapture,       // the capture limit passed without an answer
  kNoAnswerToErase,         // an erase command went unanswered for 20 s
  kNoAnswerToDataRecord,    // a data record went unanswered
  kNoAnswerToReset,         // the image was sent, but the reset limit passed without an answer
  kImageRefused,            // the image was missing, unreadable or empty (`message` says which)
  kPortNotOpened,           // the port could not be opened (`message` says why)
  kPortLost,                // the port's device went away (`port` names it); the port was closed
  kStoppedByOperator,       // disconnected, or the window closed, before the sequence ended
  kResetBeforeProgramming,  // the target answered a reset before any image was programmed
  kStalled,                 // the stall limit passed with nothing waiting and no step to start
  kFailed,                  // an error that no handler caught ended it (`message`)
  // The unit that answered the capture is not one of those allowed: it was
  // reset out of its loader untouched (`target_id` found, `message` says which
  // are allowed). Nothing was erased.
  kWrongTarget,
  // Never raised by the window: the program that ran the sequence for a
  // station was ended by a signal before it could say how the unit ended.
  kEndedBySignal,
  // Never raised by the window: a front end refused to begin (the image, the
  // log or the port list would not do), so nothing of the sequence began.
  // Stays last: kSequenceEndingCount counts up to it.
  kCouldNotStart,
};
inline constexpr int kSequenceEndingCount = static_cast<int>(SequenceEnding::kCouldNotStart) + 1;

// Where a sequence is: the port being opened, the capture (waiting for the
// unit), the erases, the image being sent, the reset, and its end.
enum class SequencePhase {
  kWaitingForAdapter,  // the port's adapter is not there yet (a front end waits for it)
  kOpening,
  kCapture,
  kErase,
  kProgram,
  kReset,
  kEnded,  // stays last: kSequencePhaseCount counts up to it
};
inline constexpr int kSequencePhaseCount = static_cast<int>(SequencePhase::kEnded) + 1;

// What is known of the sequence when it ends.
struct SequenceOutcome {
  SequenceEnding ending = SequenceEnding::kStoppedByOperator;
  // From the target's last accepted answer, as received; empty before any.
  std::string target_id;
  // The status word that aborted the run, otherwise that of the last
  // accepted answer; none before any.
  std::optional<uint16_t> status;
  // LastResponseCode when the sequence ended (what a stall stopped at).
  int32_t last_response_code = 0;
  // False for an aborted run whose target did not answer the reset.
  bool reset_answered = false;
  // The programming run: blocks sent (the one awaiting its answer included),
  // the image's blocks, and retransmissions in the whole sequence.
  int32_t blocks_sent = 0;
  int32_t blocks_total = 0;
  int32_t retransmissions = 0;
  // The port the sequence opened (as chosen in the port list).
  std::string port;
  // The image the sequence read to program from (the snapshot taken before
  // the first erase of the guided chain, or when the run started): its path,
  // size and SHA-256 (64 lower-case hex digits). Size and SHA-256 none and
  // empty before it was read; for kImageRefused the path is the one refused.
  std::string image_path;
  std::optional<uint64_t> image_size;
  std::string image_sha256;
  // Every block was acknowledged: "Programming Complete".
  bool image_sent = false;
  // Lines received, and how many of them were accepted answers: lines but no
  // answer point at the line speed or the wiring.
  int32_t lines_received = 0;
  int32_t answers_accepted = 0;
  int64_t elapsed_ms = 0;  // from Connect to the ending, on the event loop's clock
  // The error's text for kPortNotOpened and kFailed; for kImageRefused what
  // is wrong with the image: "not found", "is empty", "cannot be read: ...".
  std::string message;
};

// How far a programming run is: blocks sent (the one awaiting its answer
// included) of the image's blocks.
struct RunProgress {
  int32_t blocks_sent = 0;
  int32_t blocks_total = 0;
  uint64_t image_size = 0;
};

// Limits the window itself does not have. A front end that sets one gets the
// ending it stands for once the limit passes; unset, the window waits as it
// always does.
struct SequenceLimits {
  // From the start of the capture until the target answers it
  // (kNoAnswerToCapture).
  std::optional<uint32_t> capture_ms;
  // From the first reset after a programming run until its answer
  // (kNoAnswerToReset, or kAbortedByTarget without the reset's answer).
  std::optional<uint32_t> reset_answer_ms;
  // Nothing waits for an answer and the last code starts no further step of
  // the guided chain (kStalled).
  std::optional<uint32_t> stall_ms;
};

}  // namespace quarnel
