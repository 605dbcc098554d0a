// The programming run's decisions on their own, without a window: what an
// acknowledgement's status word means, the lines of an abort, and when an
// unanswered record is sent again.
#include <gtest/gtest.h>

#include "operations/block_ack.h"
#include "operations/retransmission.h"

namespace quarnel {
namespace {

TEST(BlockAck, OnlyLoaderExitAndRecordErrorsAbort) {
  EXPECT_EQ(MeaningOfAck(0x4000), AckMeaning::kGoOn);
  EXPECT_EQ(MeaningOfAck(0x0000), AckMeaning::kGoOn);
  // Reported by the target, but the block was taken.
  EXPECT_EQ(MeaningOfAck(0x4000 | 0x0100 | 0x0020 | 0x0010 | 0x0001), AckMeaning::kGoOn);
  EXPECT_EQ(MeaningOfAck(0x1000), AckMeaning::kNotInLoaderMode);
  for (uint16_t bit : {0x0800, 0x0200, 0x0040, 0x0002}) {
    EXPECT_EQ(MeaningOfAck(static_cast<uint16_t>(0x4000 | bit)), AckMeaning::kRecordError) << bit;
  }
  // Leaving the loader is judged first.
  EXPECT_EQ(MeaningOfAck(0x1800), AckMeaning::kNotInLoaderMode);
}

TEST(BlockAck, AbortLinesNameEachErrorBitInTheirOrder) {
  EXPECT_EQ(
      AbortLines(AckMeaning::kRecordError, 0xFFFF),
      (std::vector<std::string>{"ERROR - Error during Programming", "  record frame length error",
                                "  record framing error", "  record checksum error",
                                "  missing Type 4 record", "  Programming Aborted"}));
  EXPECT_EQ(
      AbortLines(AckMeaning::kRecordError, 0x4840),
      (std::vector<std::string>{"ERROR - Error during Programming", "  record frame length error",
                                "  record checksum error", "  Programming Aborted"}));
  // The heading of a loader exit stands alone, whatever else is set.
  EXPECT_EQ(
      AbortLines(AckMeaning::kNotInLoaderMode, 0x1A42),
      (std::vector<std::string>{"ERROR - System not in Loader Mode", "  Programming Aborted"}));
  EXPECT_TRUE(AbortLines(AckMeaning::kGoOn, 0x0A42).empty());
}

TEST(Retransmission, NineRetransmissionsThenTheRunFails) {
  int sendings = 1;  // the record's first sending
  int expiries = 0;
  while (RetransmissionDue(++expiries)) ++sendings;
  EXPECT_EQ(sendings, 10);
  EXPECT_EQ(expiries, 10);
  EXPECT_EQ(expiries * kRetransmitIntervalMs, 20000u)
      << "the run fails 20 s after the first sending";
}

}  // namespace
}  // namespace quarnel
