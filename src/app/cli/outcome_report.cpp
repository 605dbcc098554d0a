#include "app/cli/outcome_report.h"

#include "link/records.h"

namespace quarnel::cli {
namespace {

// Which image: "4000 bytes, SHA-256 ..." when one was read.
std::string ImageNote(const SequenceOutcome& outcome) {
  if (!outcome.image_size || outcome.image_sha256.empty()) return {};
  return " (" + std::to_string(*outcome.image_size) + " bytes, SHA-256 " + outcome.image_sha256 +
         ")";
}

std::string StatusNote(const SequenceOutcome& outcome) {
  return outcome.status ? " (status " + WordToHex(*outcome.status) + ")" : "";
}

std::string CaptureTimeOutReason(const SequenceOutcome& outcome) {
  if (outcome.lines_received > 0 && outcome.answers_accepted == 0) {
    return std::to_string(outcome.lines_received) +
           (outcome.lines_received == 1 ? " line" : " lines") +
           " arrived but none was a valid answer: check the line speed and wiring";
  }
  return "the target did not answer the capture in time; is it powered on and connected to "
         "this port?";
}

}  // namespace

SessionResult ResultOf(const std::optional<SequenceOutcome>& outcome, int stop_signal) {
  if (!outcome) return {kExitFailed, "the sequence ended without an outcome"};
  switch (outcome->ending) {
    case SequenceEnding::kProgrammed:
      return {kExitOk, "programming complete, the target was reset" + ImageNote(*outcome)};
    case SequenceEnding::kAbortedByTarget:
      return {kExitAborted,
              "the target reported an error while programming" + StatusNote(*outcome) +
                  (outcome->reset_answered ? "; it was reset" : ", and did not answer the reset")};
    case SequenceEnding::kNoAnswerToCapture:
      return {kExitCaptureTimeOut, CaptureTimeOutReason(*outcome)};
    case SequenceEnding::kNoAnswerToErase:
      return {kExitTimeOut, "no answer to an erase command within 20 s"};
    case SequenceEnding::kNoAnswerToDataRecord:
      return {kExitTimeOut, "no answer to data record " + std::to_string(outcome->blocks_sent) +
                                " of " + std::to_string(outcome->blocks_total) +
                                ", sent 10 times; the port was closed"};
    case SequenceEnding::kNoAnswerToReset:
      return {kExitTimeOut, "the image was sent, but the target did not answer the reset command"};
    case SequenceEnding::kImageRefused:
      return {kExitCouldNotStart, "image " + outcome->image_path + " " + outcome->message +
                                      "; the unit was not programmed and the port was closed"};
    case SequenceEnding::kPortNotOpened:
      return {kExitCouldNotStart, "could not start: " + outcome->message};
    case SequenceEnding::kPortLost:
      return {kExitPortLost, "the port " + outcome->port +
                                 " went away (was the adapter unplugged?); it was closed"};
    case SequenceEnding::kStoppedByOperator:
      if (stop_signal != 0) {
        return {static_cast<ExitStatus>(kExitSignalBase + stop_signal),
                "interrupted; the port was closed"};
      }
      return {kExitFailed, "the port was closed before the sequence ended"};
    case SequenceEnding::kResetBeforeProgramming:
      return {kExitFailed, "the target was reset before the image was programmed"};
    case SequenceEnding::kStalled:
      // After the image was sent this is mostly a reset whose answer was
      // damaged: the reset sent again finds the target out of its loader.
      return {kExitFailed, std::string("the sequence stopped") +
                               (outcome->image_sent ? " after the image was sent" : "") +
                               ": the target's last answer (code " +
                               std::to_string(outcome->last_response_code) +
                               ") starts no further step"};
    case SequenceEnding::kFailed:
      return {kExitFailed, "an error stopped the sequence: " + outcome->message};
    case SequenceEnding::kWrongTarget:
      return {kExitWrongTarget, "wrong target " + outcome->target_id + ": " + outcome->message +
                                    "; the unit was reset and not erased"};
    case SequenceEnding::kEndedBySignal:
      return {kExitFailed, "ended by a signal: " + outcome->message};
    case SequenceEnding::kCouldNotStart:
      return {kExitCouldNotStart, "could not start: " + outcome->message};
  }
  return {kExitFailed, "the sequence ended in an unknown way"};
}

std::string ImageChangeNote(const SequenceOutcome& outcome, const std::string& announced_sha256) {
  if (outcome.image_sha256.empty() || outcome.image_sha256 == announced_sha256) return {};
  return "the image changed after the start: the unit got " +
         std::to_string(outcome.image_size.value_or(0)) + " bytes, SHA-256 " + outcome.image_sha256;
}

}  // namespace quarnel::cli
