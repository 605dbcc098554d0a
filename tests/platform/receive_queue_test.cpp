#include "platform/receive_queue.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/comm_records.h"

namespace platform {
namespace {

uint32_t Put(ReceiveQueue& queue, const std::string& text) {
  return queue.Put(std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
}

std::string Take(ReceiveQueue& queue, size_t count) {
  std::string out(count, '\0');
  out.resize(queue.Take(std::span(reinterpret_cast<uint8_t*>(out.data()), out.size())));
  return out;
}

TEST(ReceiveQueue, CountsAndHandsOutInOrderAndSpotsTheEventCharacter) {
  ReceiveQueue queue(100);
  queue.SetEventChar('\n');
  EXPECT_EQ(Put(queue, "!0102"), kEvRxChar);
  EXPECT_EQ(Put(queue, "03\n!04"), kEvRxChar | kEvRxFlag);
  EXPECT_EQ(Put(queue, ""), 0u) << "nothing arrived, nothing to tell";
  EXPECT_EQ(queue.Count(), 11u);
  EXPECT_EQ(Take(queue, 4), "!010");
  EXPECT_EQ(Take(queue, 100), "203\n!04");
  EXPECT_EQ(Take(queue, 100), "");
  EXPECT_EQ(queue.TakeErrors(), 0u);
}

TEST(ReceiveQueue, RunningFullDropsTheOldestBytesAndReportsAnOverrunOnce) {
  ReceiveQueue queue(8);
  queue.SetEventChar('\n');
  EXPECT_EQ(Put(queue, "noise-noise"), kEvRxChar | kEvErr | kEvRx80Full);
  EXPECT_EQ(Put(queue, "!ok\n"), kEvRxChar | kEvRxFlag | kEvErr)
      << "the line end is seen although the queue is full";
  EXPECT_EQ(queue.Count(), 8u);
  EXPECT_EQ(queue.TakeErrors(), kCeRxOver);
  EXPECT_EQ(queue.TakeErrors(), 0u) << "taking the flags clears them";
  EXPECT_EQ(Take(queue, 100), "oise!ok\n") << "the newest bytes are kept";

  // An event character in bytes that are dropped at once is still reported.
  EXPECT_EQ(Put(queue, "a\nbcdefghijk") & kEvRxFlag, kEvRxFlag);
  EXPECT_EQ(Take(queue, 100), "defghijk");
  EXPECT_EQ(queue.TakeErrors(), kCeRxOver);

  // Room again: nothing more is dropped.
  EXPECT_EQ(Put(queue, "!next\n"), kEvRxChar | kEvRxFlag);
  EXPECT_EQ(queue.TakeErrors(), 0u);
}

TEST(ReceiveQueue, Over80PercentIsReportedOnceUntilTheQueueDrainsBelow) {
  ReceiveQueue queue(10);
  EXPECT_EQ(Put(queue, "12345678") & kEvRx80Full, 0u) << "80 % is not over 80 %";
  EXPECT_EQ(Put(queue, "9") & kEvRx80Full, kEvRx80Full);
  EXPECT_EQ(Put(queue, "0") & kEvRx80Full, 0u) << "still over: not again";
  Take(queue, 2);  // back to 80 %
  EXPECT_EQ(Put(queue, "a") & kEvRx80Full, kEvRx80Full);
  queue.Clear();
  EXPECT_EQ(queue.TakeErrors(), 0u) << "clearing is no overrun";
  EXPECT_EQ(Put(queue, "123456789") & kEvRx80Full, kEvRx80Full);
}

TEST(ReceiveQueue, ShrinkingBelowWhatIsHeldKeepsTheNewest) {
  ReceiveQueue queue(16);
  Put(queue, "0123456789");
  queue.SetCapacity(4);
  EXPECT_EQ(queue.TakeErrors(), kCeRxOver);
  EXPECT_EQ(Take(queue, 100), "6789");
  queue.SetCapacity(ReceiveQueue::kDefaultCapacity);
  EXPECT_EQ(Put(queue, std::string(4096, 'x')) & kEvErr, 0u);
  EXPECT_EQ(queue.Count(), 4096u);
}

}  // namespace
}  // namespace platform
