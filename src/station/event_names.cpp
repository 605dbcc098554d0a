#include "station/event_names.h"

namespace quarnel::station {

std::string_view EndingName(SequenceEnding ending) {
  switch (ending) {
    case SequenceEnding::kProgrammed:
      return "programmed";
    case SequenceEnding::kAbortedByTarget:
      return "aborted_by_target";
    case SequenceEnding::kNoAnswerToCapture:
      return "no_answer_to_capture";
    case SequenceEnding::kNoAnswerToErase:
      return "no_answer_to_erase";
    case SequenceEnding::kNoAnswerToDataRecord:
      return "no_answer_to_data_record";
    case SequenceEnding::kNoAnswerToReset:
      return "no_answer_to_reset";
    case SequenceEnding::kImageRefused:
      return "image_refused";
    case SequenceEnding::kPortNotOpened:
      return "port_not_opened";
    case SequenceEnding::kPortLost:
      return "port_lost";
    case SequenceEnding::kStoppedByOperator:
      return "stopped_by_operator";
    case SequenceEnding::kResetBeforeProgramming:
      return "reset_before_programming";
    case SequenceEnding::kStalled:
      return "stalled";
    case SequenceEnding::kFailed:
      return "failed";
    case SequenceEnding::kWrongTarget:
      return "wrong_target";
    case SequenceEnding::kEndedBySignal:
      return "ended_by_signal";
    case SequenceEnding::kCouldNotStart:
      return "could_not_start";
  }
  return "failed";
}

std::optional<SequenceEnding> EndingFromName(std::string_view name) {
  for (int i = 0; i < kSequenceEndingCount; ++i) {
    const auto ending = static_cast<SequenceEnding>(i);
    if (EndingName(ending) == name) return ending;
  }
  return std::nullopt;
}

std::string_view PhaseName(SequencePhase phase) {
  switch (phase) {
    case SequencePhase::kWaitingForAdapter:
      return "waiting_for_adapter";
    case SequencePhase::kOpening:
      return "opening";
    case SequencePhase::kCapture:
      return "capture";
    case SequencePhase::kErase:
      return "erase";
    case SequencePhase::kProgram:
      return "program";
    case SequencePhase::kReset:
      return "reset";
    case SequencePhase::kEnded:
      return "ended";
  }
  return "ended";
}

std::optional<SequencePhase> PhaseFromName(std::string_view name) {
  for (int i = 0; i < kSequencePhaseCount; ++i) {
    const auto phase = static_cast<SequencePhase>(i);
    if (PhaseName(phase) == name) return phase;
  }
  return std::nullopt;
}

}  // namespace quarnel::station
