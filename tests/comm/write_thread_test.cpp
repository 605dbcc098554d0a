// The writer thread and its buffer over a pseudo-terminal. The port's output
// is held back with the terminal's own flow control (as an XOFF would), so a
// test can keep a write pending for as long as it needs.
#include <gtest/gtest.h>
#include <termios.h>

#include <chrono>
#include <cstring>
#include <memory>
#include <string>
#include <thread>

#include "comm/VaComm.h"
#include "comm/VaCommWriteThread.h"
#include "comm/VaSupport.h"
#include "platform/pty_test_support.h"
#include "platform/serial_device.h"
#include "thread_test_support.h"

namespace comm::test {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr const char* kBufferFull = "Output buffer is full. Please check comm status.";

long long MsSince(Clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

TEST(CommBufferTest, KeepsBytesPackedAndNeverGrowsPastItsCapacity) {
  TVaCommBuffer buffer(8);
  const uint8_t* storage = buffer.Memory();
  EXPECT_TRUE(buffer.Append("abcde", 5));
  EXPECT_FALSE(buffer.Append("wxyz", 4)) << "9 bytes do not fit 8";
  EXPECT_EQ(buffer.Count(), 5);
  EXPECT_TRUE(buffer.Append("xyz", 3));
  EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer.Memory()), 8), "abcdexyz");

  // A partial write removes what went out; the rest moves to the front.
  buffer.Remove(3);
  EXPECT_EQ(buffer.Count(), 5);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer.Memory()), 5), "dexyz");
  buffer.Remove(99);
  EXPECT_EQ(buffer.Count(), 0);
  EXPECT_EQ(buffer.Memory(), storage) << "the storage never moves";
  EXPECT_FALSE(TVaCommBuffer(0).Append("a", 1));
}

class WriteThreadTest : public PortOnPty {
 protected:
  void SetUp() override {
    PortOnPty::SetUp();
    port_.OnTxEmpty = [this](tk::TObject*) { ++tx_empty_; };
  }

  // Holds the port's output back, or lets it go, like XOFF / XON would.
  void HoldOutput(bool hold) {
    ASSERT_EQ(::tcflow(platform::testing::DescriptorOf(pty_->SlavePath()), hold ? TCOOFF : TCOON),
              0);
  }

  int tx_empty_ = 0;
};

TEST_F(WriteThreadTest, ABlockOfExactlyWriteSizeFitsAndWaitsForTheBufferToDrain) {
  port_.Buffers().SetWriteSize(64);
  port_.Open();
  HoldOutput(true);
  const std::string full(64, 'A');

  auto start = Clock::now();
  ASSERT_EQ(port_.WriteBuf(full.data(), 64), 64);
  EXPECT_LT(MsSince(start), 200) << "an empty buffer takes WriteSize bytes at once";

  // The buffer still holds the pending block: one more byte must wait until
  // the block has gone out, which happens well within the time-out.
  std::thread release([this] {
    std::this_thread::sleep_for(150ms);
    HoldOutput(false);
  });
  start = Clock::now();
  const bool queued = port_.WriteText("B");
  const long long waited = MsSince(start);
  release.join();
  EXPECT_TRUE(queued);
  EXPECT_GE(waited, 100);
  EXPECT_LT(waited, 900);
  EXPECT_EQ(ReadMaster(65), full + "B");
}

TEST_F(WriteThreadTest, ABlockLargerThanTheBufferIsRefusedAfterTheTimeoutWithoutSpinning) {
  port_.Buffers().SetWriteSize(64);
  port_.Buffers().SetWriteTimeout(300);
  port_.Open();
  const std::string too_big(65, 'x');

  const auto start = Clock::now();
  const double cpu_before = ProcessCpuMs();
  try {
    port_.WriteText(too_big);
    ADD_FAILURE() << "a block larger than the buffer was accepted";
  } catch (const EVaCommError& e) {
    EXPECT_STREQ(e.what(), kBufferFull);
  }
  EXPECT_GT(MsSince(start), 300);
  EXPECT_LT(ProcessCpuMs() - cpu_before, 100) << "the wait for room must sleep";

  PumpFor(100);
  EXPECT_EQ(TakeAvailable(Master()), "") << "nothing of a refused block is sent";
  EXPECT_EQ(tx_empty_, 0);
}

TEST_F(WriteThreadTest, RaisingWriteSizeWhileOpenDoesNotLetTheBufferOverrun) {
  port_.Buffers().SetWriteSize(64);
  port_.Buffers().SetWriteTimeout(200);
  port_.Open();
  EXPECT_THROW(port_.Buffers().SetWriteSize(4096), EVaCommError);
  ASSERT_EQ(port_.Buffers().WriteSize(), 4096) << "the new size stays stored";

  const std::string block(100, 'y');
  EXPECT_THROW(port_.WriteText(block), EVaCommError);
  EXPECT_TRUE(port_.WriteText(std::string(64, 'z')));
  EXPECT_EQ(ReadMaster(64), std::string(64, 'z'));
}

TEST_F(WriteThreadTest, BlocksQueuedDuringAPendingWriteGoOutTogetherInOrder) {
  port_.Open();
  HoldOutput(true);
  ASSERT_TRUE(port_.WriteText("first-"));
  ASSERT_TRUE(port_.WriteText("second-"));
  ASSERT_TRUE(port_.WriteText("third"));
  PumpFor(50);
  EXPECT_EQ(tx_empty_, 0) << "nothing has drained yet";

  HoldOutput(false);
  EXPECT_EQ(ReadMaster(18), "first-second-third");
  ASSERT_TRUE(PumpUntil([&] { return tx_empty_ >= 1; }));
  PumpFor(100);
  EXPECT_EQ(tx_empty_, 1) << "one drain, one transmit-empty";
}

TEST_F(WriteThreadTest, EachDrainGivesExactlyOneTxEmpty) {
  port_.Open();
  for (int i = 1; i <= 5; ++i) {
    ASSERT_TRUE(port_.WriteText("record\n"));
    EXPECT_EQ(ReadMaster(7), "record\n");
    ASSERT_TRUE(PumpUntil([&] { return tx_empty_ >= i; }));
    PumpFor(30);
    EXPECT_EQ(tx_empty_, i);
  }
}

TEST_F(WriteThreadTest, ClosingDropsQueuedBytesAndTheNextOpenStartsEmpty) {
  port_.Open();
  HoldOutput(true);
  ASSERT_TRUE(port_.WriteText("stale"));
  port_.Close();
  EXPECT_TRUE(WaitForThreads(baseline_threads_)) << "the cancelled writer must end";

  port_.Open();
  HoldOutput(false);
  ASSERT_TRUE(port_.WriteText("fresh"));
  EXPECT_EQ(ReadMaster(5), "fresh");
  PumpFor(100);
  EXPECT_EQ(TakeAvailable(Master()), "");
  EXPECT_EQ(tx_empty_, 1) << "only the new writer reports, and only its own drain";
}

TEST_F(WriteThreadTest, RaisingTxEmptyHandlerIsReportedAndWritingGoesOn) {
  port_.OnTxEmpty = [this](tk::TObject*) {
    if (++tx_empty_ == 1) throw tk::Exception("tx handler failed");
  };
  port_.Open();
  ASSERT_TRUE(port_.WriteText("a"));
  EXPECT_EQ(ReadMaster(1), "a");
  ASSERT_TRUE(PumpUntil([&] { return !reported_.empty(); }));
  EXPECT_EQ(reported_, std::vector<std::string>{"tx handler failed"});
  EXPECT_EQ(reporters_, std::vector<std::string>{"TVaCommWriteThread"});

  ASSERT_TRUE(port_.WriteText("b"));
  EXPECT_EQ(ReadMaster(1), "b");
  EXPECT_TRUE(PumpUntil([&] { return tx_empty_ == 2; }));
}

TEST_F(WriteThreadTest, ARetiredWriterIsKeptUntilItsBodyHasEnded) {
  HandOffCountingLoop counting(loop_);
  port_.Open();
  // The writer drains and waits in its transmit-empty hand-off, which only
  // the main thread can run, when the port closes.
  ASSERT_TRUE(port_.WriteText("x"));
  ASSERT_TRUE(counting.WaitForHandOffs(1, 2s));
  port_.Close();
  EXPECT_EQ(ReleaseEndedWriteThreads(), 1u) << "a writer still running must not be freed";

  EXPECT_TRUE(PumpUntil([] { return ReleaseEndedWriteThreads() == 0; }));
  EXPECT_EQ(tx_empty_, 0) << "the hand-off ran after the close and must not reach the port";
}

TEST_F(WriteThreadTest, AWriterThatNeverRanIsReleasedAtOnce) {
  port_.SetDirectWrite(true);
  port_.Open();
  auto writer = std::make_shared<TVaCommWriteThread>(port_);
  EXPECT_EQ(writer->Capacity(), port_.Buffers().WriteSize());
  EXPECT_TRUE(writer->Enqueue("never sent", 10));
  std::weak_ptr<TVaCommWriteThread> watch = writer;
  RetireWriteThread(std::move(writer));
  EXPECT_TRUE(watch.expired());
}

}  // namespace
}  // namespace comm::test
