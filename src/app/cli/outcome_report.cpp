#include "app/cli/outcome_report.h"

#include <cstdio>

namespace quarnel::cli {
namespace {

std::string Hex4(uint16_t value) {
  char text[8];
  std::snprintf(text, sizeof text, "%04X", value);
  return text;
}

std::string StatusNote(const SequenceOutcome& outcome) {
  return outcome.status ? " (status " + Hex4(*outcome.status) + ")" : "";
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
      return {kExitOk, "programming complete, the target was reset"};
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
                                " in time; the port was closed"};
    case SequenceEnding::kNoAnswerToReset:
      return {kExitTimeOut, "the image was sent, but the target did not answer the reset command"};
    case SequenceEnding::kImageRefused:
      return {kExitCouldNotStart, outcome->image_size
                                      ? "the image was empty when programming started"
                                      : "the image could not be opened when programming started"};
    case SequenceEnding::kPortNotOpened:
      return {kExitCouldNotStart, "could not start: " + outcome->message};
    case SequenceEnding::kPortLost:
      return {kExitFailed, "the port went away (was the adapter unplugged?)"};
    case SequenceEnding::kStoppedByOperator:
      if (stop_signal != 0) {
        return {static_cast<ExitStatus>(kExitSignalBase + stop_signal),
                "interrupted; the port was closed"};
      }
      return {kExitFailed, "the port was closed before the sequence ended"};
    case SequenceEnding::kResetBeforeProgramming:
      return {kExitFailed, "the target was reset before the image was programmed"};
    case SequenceEnding::kStalled:
      return {kExitFailed, "the sequence stopped: the target's last answer (code " +
                               std::to_string(outcome->last_response_code) +
                               ") starts no further step"};
    case SequenceEnding::kFailed:
      return {kExitFailed, "an error stopped the sequence: " + outcome->message};
  }
  return {kExitFailed, "the sequence ended in an unknown way"};
}

}  // namespace quarnel::cli
