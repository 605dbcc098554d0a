// The guided panel's result line for the endings the window tests do not
// reach on their way: what it says, and that only a programmed unit is green.
#include "ui/result_line.h"

#include <gtest/gtest.h>

namespace quarnel {
namespace {

SequenceOutcome Ended(SequenceEnding ending) {
  SequenceOutcome outcome;
  outcome.ending = ending;
  outcome.target_id = "1A2B";
  outcome.image_size = 4000;
  return outcome;
}

TEST(ResultLine, SaysHowItEndedAndWhatToDo) {
  SequenceOutcome aborted = Ended(SequenceEnding::kAbortedByTarget);
  aborted.status = 0x4850;
  EXPECT_EQ(ResultLineFor(aborted).text,
            "NOT programmed: the unit reported an error (status 4850) — switch the unit off and "
            "start again");
  EXPECT_EQ(ResultLineFor(Ended(SequenceEnding::kNoAnswerToReset)).text,
            "Image sent (4000 bytes), but the unit did not answer the reset — check it before use");

  SequenceOutcome stopped = Ended(SequenceEnding::kStoppedByOperator);
  EXPECT_EQ(ResultLineFor(stopped).text, "Stopped — the unit is NOT programmed");
  stopped.image_sent = true;
  EXPECT_EQ(ResultLineFor(stopped).text,
            "Stopped after the image was sent — the unit was not reset");

  SequenceOutcome failed = Ended(SequenceEnding::kFailed);
  failed.message = "Write error (5), Input/output error";
  EXPECT_EQ(ResultLineFor(failed).text, "NOT programmed: Write error (5), Input/output error");
}

TEST(ResultLine, OnlyAProgrammedUnitIsASuccess) {
  for (int ending = 0; ending <= static_cast<int>(SequenceEnding::kFailed); ++ending) {
    const auto line = ResultLineFor(Ended(static_cast<SequenceEnding>(ending)));
    EXPECT_FALSE(line.text.empty()) << ending;
    EXPECT_EQ(line.success, ending == static_cast<int>(SequenceEnding::kProgrammed)) << ending;
  }
}

}  // namespace
}  // namespace quarnel
