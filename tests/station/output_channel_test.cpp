// The station's output channel: a reader that stalls never holds the
// writer's caller; what may be dropped is dropped beyond the bound and
// counted, what must arrive does, in order.
#include "app/cli/output_channel.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>

namespace quarnel::cli {
namespace {

using namespace std::chrono_literals;
using Kind = OutputChannel::Kind;

// A reader the test opens and closes: while closed, every write blocks.
class Reader {
 public:
  bool Write(const std::string& text) {
    std::unique_lock lock(mutex_);
    writing_ = true;
    open_changed_.notify_all();
    open_changed_.wait(lock, [this] { return open_; });
    received_ += text;
    return true;
  }
  void Open(bool open) {
    {
      std::lock_guard lock(mutex_);
      open_ = open;
    }
    open_changed_.notify_all();
  }
  // A write has begun (and blocks while the reader is closed).
  void WaitForAWrite() {
    std::unique_lock lock(mutex_);
    open_changed_.wait(lock, [this] { return writing_; });
  }
  std::string Received() {
    std::lock_guard lock(mutex_);
    return received_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable open_changed_;
  bool open_ = false;
  bool writing_ = false;
  std::string received_;
};

TEST(OutputChannel, AStalledReaderLosesOnlyWhatMayBeDroppedAndHearsHowMuch) {
  Reader reader;
  OutputChannel channel([&reader](const std::string& text) { return reader.Write(text); },
                        [](size_t dropped) { return "[" + std::to_string(dropped) + " dropped]"; },
                        4);
  const auto start = std::chrono::steady_clock::now();
  channel.Write("first;", Kind::kMustArrive);  // taken by the writer, which blocks
  reader.WaitForAWrite();
  for (int i = 0; i < 100; ++i) channel.Write("p" + std::to_string(i) + ";", Kind::kMayDrop);
  channel.Write("outcome;", Kind::kMustArrive);
  channel.Write("summary;", Kind::kMustArrive);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 1s) << "the caller never waits";
  std::this_thread::sleep_for(60ms);
  EXPECT_TRUE(channel.Stalled(50ms));
  EXPECT_FALSE(channel.Stalled(10s));

  reader.Open(true);
  ASSERT_TRUE(channel.Finish(5s));
  EXPECT_EQ(reader.Received(), "first;p0;p1;p2;p3;outcome;summary;[96 dropped]");
  EXPECT_FALSE(channel.Stalled(0ms));
}

TEST(OutputChannel, AReaderThatNeverReadsIsGivenUpWithoutHanging) {
  Reader reader;
  const auto start = std::chrono::steady_clock::now();
  {
    OutputChannel channel([&reader](const std::string& text) { return reader.Write(text); }, {});
    channel.Write("summary;", Kind::kMustArrive);
    channel.Write("more;", Kind::kMustArrive);
    EXPECT_FALSE(channel.Finish(100ms));
    EXPECT_EQ(channel.Pending(), 2u);
  }
  EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
  // The writer left behind ends once its write returns, touching nothing freed.
  reader.Open(true);
  std::this_thread::sleep_for(50ms);
  EXPECT_EQ(reader.Received(), "summary;");
}

TEST(OutputChannel, AClosedStreamStopsWritingButNeverBlocks) {
  std::atomic<int> writes{0};
  OutputChannel channel(
      [&writes](const std::string&) {
        ++writes;
        return false;  // a pipe whose reader has gone
      },
      {});
  for (int i = 0; i < 10; ++i) channel.Write("x", Kind::kMustArrive);
  EXPECT_TRUE(channel.Finish(2s));
  EXPECT_EQ(writes.load(), 1);
}

}  // namespace
}  // namespace quarnel::cli
