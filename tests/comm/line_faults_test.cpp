// What the line can do to the port, each seen as the window's port sees it
// (line feed as the event character, [ceRxFlag]): a flood of noise, an
// answer left over from before, a device that vanishes, a failure that
// passes.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <chrono>
#include <string>
#include <vector>

#include "comm/VaComm.h"
#include "platform/comm_records.h"
#include "thread_test_support.h"

namespace comm::test {
namespace {

using namespace std::chrono_literals;

const std::string kAnswer1 = "!1A2B000103400077\r\n";
const std::string kAnswer2 = "!1A2B000203400076\r\n";

// A line at the wrong speed: any byte but a line feed.
std::string Noise(size_t count) {
  std::string noise(count, '\0');
  for (size_t i = 0; i < count; ++i) {
    const auto byte = static_cast<char>(i * 37 % 251);
    noise[i] = byte == '\n' ? '\v' : byte;
  }
  return noise;
}

class LineFaultTest : public PortOnPty {
 protected:
  void SetUp() override {
    PortOnPty::SetUp();
    port_.OnRxFlag = [this](tk::TObject*) { lines_.push_back(port_.ReadText()); };
    port_.OnDeviceGone = [this](tk::TObject*) { ++gone_; };
  }

  std::vector<std::string> lines_;
  int gone_ = 0;
};

TEST_F(LineFaultTest, AFloodOfNoiseDoesNotMakeThePortDeaf) {
  std::vector<int32_t> errors;
  port_.SetMonitorEvents(TVaCommEvents{ceRxFlag, ceError});
  port_.OnError = [&](tk::TObject*, int32_t flags) { errors.push_back(flags); };
  port_.Open();
  // 10 KiB without a line feed, more than the receive queue holds, then the
  // target answers correctly.
  WriteAll(Master(), Noise(10240) + kAnswer1);
  ASSERT_TRUE(PumpUntil([&] { return !lines_.empty(); })) << "the port went deaf";
  EXPECT_EQ(lines_[0].size(), 4096u) << "a full queue keeps its newest bytes";
  EXPECT_TRUE(lines_[0].ends_with(kAnswer1));
  ASSERT_FALSE(errors.empty());
  EXPECT_EQ(errors[0] & platform::kCeRxOver, platform::kCeRxOver) << "the overrun is reported";

  WriteAll(Master(), kAnswer2);
  ASSERT_TRUE(PumpUntil([&] { return lines_.size() == 2; }));
  EXPECT_EQ(lines_[1], kAnswer2) << "the next answer arrives whole";
}

TEST_F(LineFaultTest, AnAnswerWaitingBeforeOpenIsNotTakenForANewOne) {
  WriteAll(Master(), kAnswer1);  // late, to a connection that has ended
  port_.Open();
  WriteAll(Master(), kAnswer2);
  ASSERT_TRUE(PumpUntil([&] { return !lines_.empty(); }));
  PumpFor(50);
  EXPECT_EQ(lines_, std::vector<std::string>{kAnswer2});
}

TEST_F(LineFaultTest, AVanishedDeviceIsReportedOnceAndLaterWritesFailAtOnce) {
  const std::string message =
      "Device " + pty_->SlavePath() + " is gone: the adapter may have been unplugged.";
  const auto expect_writes_fail_at_once = [&] {
    const auto start = std::chrono::steady_clock::now();
    try {
      port_.WriteText(":00030103F9\r\n");
      ADD_FAILURE() << "a write to a vanished device was taken";
    } catch (const EVaCommError& e) {
      EXPECT_EQ(e.what(), message);
      EXPECT_EQ(e.ErrorCode(), EIO);
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, 100ms);
  };

  // The event thread sees the hang-up as it happens.
  port_.Open();
  WriteAll(Master(), kAnswer1);
  ASSERT_TRUE(PumpUntil([&] { return lines_.size() == 1; }));
  pty_->CloseMaster();  // the adapter is unplugged
  ASSERT_TRUE(PumpUntil([&] { return gone_ == 1; }));
  EXPECT_TRUE(port_.DeviceGone());
  expect_writes_fail_at_once();
  PumpFor(200);
  EXPECT_EQ(gone_, 1) << "reported once";
  EXPECT_EQ(lines_.size(), 1u);
  port_.Close();

  // Without an event thread the writer finds out, and says so once as well.
  pty_ = std::make_unique<platform::PseudoTerminal>();
  port_.SetDeviceName(pty_->SlavePath());
  port_.SetMonitorEvents(TVaCommEvents{});
  port_.Open();
  EXPECT_FALSE(port_.DeviceGone()) << "a new open period starts afresh";
  pty_->CloseMaster();
  EXPECT_TRUE(port_.WriteText("x"));  // nothing has looked at the device yet
  ASSERT_TRUE(PumpUntil([&] { return gone_ == 2; }));
  expect_writes_fail_at_once();
  PumpFor(200);
  EXPECT_EQ(gone_, 2);
}

// Lowers the number of descriptors the process may use, for its lifetime.
class DescriptorLimit {
 public:
  explicit DescriptorLimit(rlim_t limit) {
    ::getrlimit(RLIMIT_NOFILE, &saved_);
    rlimit lower = saved_;
    lower.rlim_cur = limit;
    ::setrlimit(RLIMIT_NOFILE, &lower);
  }
  ~DescriptorLimit() { ::setrlimit(RLIMIT_NOFILE, &saved_); }
  DescriptorLimit(const DescriptorLimit&) = delete;
  DescriptorLimit& operator=(const DescriptorLimit&) = delete;

 private:
  rlimit saved_{};
};

TEST_F(LineFaultTest, AFailureThatPassesIsReportedAndTheLineIsStillServed) {
  std::vector<int32_t> errors;
  port_.OnError = [&](tk::TObject*, int32_t flags) { errors.push_back(flags); };
  port_.Open();
  WriteAll(Master(), kAnswer1);
  ASSERT_TRUE(PumpUntil([&] { return lines_.size() == 1; }));
  {
    // The event thread waits for its port and its wake-up in one poll() of
    // three descriptors: with two allowed, every wait after the one under
    // way (ended by the next line) fails (EINVAL) until the limit is lifted.
    DescriptorLimit limit(2);
    WriteAll(Master(), kAnswer2);
    ASSERT_TRUE(PumpUntil([&] { return !errors.empty(); })) << "the failure was not reported";
    const double cpu_before = ProcessCpuMs();
    PumpFor(300);
    EXPECT_LT(ProcessCpuMs() - cpu_before, 100) << "the thread retries without a pause";
  }
  EXPECT_EQ(errors[0], static_cast<int32_t>(platform::kCeIoe));
  EXPECT_FALSE(port_.DeviceGone());
  const std::string answer3 = "!1A2B000303400075\r\n";
  WriteAll(Master(), answer3);
  ASSERT_TRUE(PumpUntil([&] { return lines_.size() == 3; })) << "the event thread went silent";
  EXPECT_EQ(lines_[1], kAnswer2);
  EXPECT_EQ(lines_[2], answer3);
  EXPECT_EQ(gone_, 0);
}

}  // namespace
}  // namespace comm::test
