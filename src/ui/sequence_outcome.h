#pragma once
// How a sequence of the window ended, as a value. A sequence runs from
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
  kImageRefused,            // the image could not be opened, or was empty, when programming began
  kPortNotOpened,           // the port could not be opened (`message` says why)
  kPortLost,                // the port's device went away
  kStoppedByOperator,       // disconnected, or the window closed, before the sequence ended
  kResetBeforeProgramming,  // the target answered a reset before any image was programmed
  kStalled,                 // the stall limit passed with nothing waiting and no step to start
  kFailed,                  // an error that no handler caught ended it (`message`)
};

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
  // Size of the image when the run opened it; none when it could not be
  // opened. (Its SHA-256 will go beside it.)
  std::optional<uint64_t> image_size;
  // Lines received, and how many of them were accepted answers: lines but no
  // answer point at the line speed or the wiring.
  int32_t lines_received = 0;
  int32_t answers_accepted = 0;
  int64_t elapsed_ms = 0;  // from Connect to the ending, on the event loop's clock
  std::string message;     // the error's text, for kPortNotOpened and kFailed
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
