#include "ui/result_line.h"

#include <filesystem>

#include "link/records.h"

namespace quarnel {
namespace {

// Words and names a line has room for: the last part of a path.
std::string ShortName(const std::string& path) {
  const std::string name = std::filesystem::path(path).filename().string();
  return name.empty() ? path : name;
}

std::string Bytes(const SequenceOutcome& outcome) {
  return std::to_string(outcome.image_size.value_or(0)) + " bytes";
}

const char kStartAgain[] = " — switch the unit off and start again";

}  // namespace

ResultLine ResultLineFor(const SequenceOutcome& outcome) {
  const std::string target = outcome.target_id.empty() ? "" : ", target " + outcome.target_id;
  switch (outcome.ending) {
    case SequenceEnding::kProgrammed:
      return {"Unit programmed — " + Bytes(outcome) + target, true};
    case SequenceEnding::kAbortedByTarget:
      return {"NOT programmed: the unit reported an error" +
              (outcome.status ? " (status " + WordToHex(*outcome.status) + ")" : std::string()) +
              kStartAgain};
    case SequenceEnding::kNoAnswerToCapture:
      return {
          "NOT programmed: the unit did not answer — check its power and the port, "
          "then start again"};
    case SequenceEnding::kNoAnswerToErase:
      return {std::string("NOT programmed: no answer to an erase command") + kStartAgain};
    case SequenceEnding::kNoAnswerToDataRecord:
      return {std::string("NOT programmed: no answer to a data record") + kStartAgain};
    case SequenceEnding::kNoAnswerToReset:
      return {"Image sent (" + Bytes(outcome) +
              "), but the unit did not answer the reset — check it before use"};
    case SequenceEnding::kImageRefused:
      return {"NOT programmed: image " + ShortName(outcome.image_path) + " " + outcome.message +
              " — choose the image again"};
    case SequenceEnding::kPortNotOpened:
      return {"NOT programmed: the port could not be opened — choose the port again"};
    case SequenceEnding::kPortLost:
      return {"NOT programmed: port " + ShortName(outcome.port) +
              " is gone — plug the adapter in, then choose the port and start again"};
    case SequenceEnding::kStoppedByOperator:
      return {outcome.image_sent ? "Stopped after the image was sent — the unit was not reset"
                                 : "Stopped — the unit is NOT programmed"};
    case SequenceEnding::kResetBeforeProgramming:
      return {"NOT programmed: the unit was reset before the image was sent"};
    case SequenceEnding::kStalled:
      return {"NOT programmed: the unit's answer (code " +
              std::to_string(outcome.last_response_code) + ") starts no further step" +
              kStartAgain};
    case SequenceEnding::kWrongTarget:
      return {"NOT programmed: wrong target " + outcome.target_id +
              " — the unit was reset and not erased"};
    case SequenceEnding::kFailed:
    case SequenceEnding::kEndedBySignal:
    case SequenceEnding::kCouldNotStart:
      return {"NOT programmed: " + outcome.message};
  }
  return {"NOT programmed"};
}

}  // namespace quarnel
