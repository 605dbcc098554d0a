#include "platform/serial_device.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <future>
#include <thread>

#include "platform/pseudo_terminal.h"
#include "pty_test_support.h"

namespace platform {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using testing::ReadAvailable;
using testing::WaitReadable;
using testing::WriteAll;

Dcb LineSettings(char event_char = '\n') {
  Dcb dcb;
  dcb.BaudRate = 115200;
  dcb.Flags = kFBinary;
  dcb.ByteSize = 8;
  dcb.EvtChar = event_char;
  dcb.EofChar = '\n';
  return dcb;
}

double ThreadCpuMs() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

// Ends a wait left behind by a failed assertion, so the test fails instead
// of hanging in the future's destructor.
struct WakeOnExit {
  ManualResetEvent& event;
  ~WakeOnExit() { event.Signal(); }
};

class SerialDeviceOnPty : public ::testing::Test {
 protected:
  void SetUp() override {
    device_ = SerialDevice::Open(pty_.SlavePath());
    ASSERT_NE(device_, nullptr) << errno;
    ASSERT_TRUE(device_->SetState(LineSettings()));
  }
  // Sends from the far end and waits until the device can see the bytes.
  void Send(const std::string& text) {
    WriteAll(pty_.MasterFd(), text);
    ASSERT_TRUE(WaitReadable(device_->Fd()));
  }
  uint32_t InQueue() {
    ComStat stat{};
    uint32_t errors = 0;
    EXPECT_TRUE(device_->ClearError(&errors, &stat));
    return stat.cbInQue;
  }
  std::string ReadAll() {
    char buf[8192];
    const int n = device_->Read(buf, sizeof buf);
    return n > 0 ? std::string(buf, static_cast<size_t>(n)) : std::string();
  }

  PseudoTerminal pty_;
  std::unique_ptr<SerialDevice> device_;
  ManualResetEvent wakeup_;
};

TEST(SerialDeviceOpen, MissingDeviceIsNotFound) {
  errno = 0;
  EXPECT_EQ(SerialDevice::Open("/dev/quarnel-no-such-port"), nullptr);
  EXPECT_EQ(errno, ENOENT);
}

TEST(SerialDeviceOpen, PortIsHeldExclusively) {
  PseudoTerminal pty;
  auto first = SerialDevice::Open(pty.SlavePath());
  ASSERT_NE(first, nullptr);

  errno = 0;
  EXPECT_EQ(SerialDevice::Open(pty.SlavePath()), nullptr);
  EXPECT_EQ(errno, EBUSY);

  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    errno = 0;
    const bool refused = SerialDevice::Open(pty.SlavePath()) == nullptr && errno == EBUSY;
    _exit(refused ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "another process could open a held port";

  // Released on close: the next user gets it.
  first.reset();
  EXPECT_NE(SerialDevice::Open(pty.SlavePath()), nullptr) << errno;
}

TEST_F(SerialDeviceOnPty, OpenLeavesTheLineRaw) {
  // Default pty settings would turn CR into LF and hold bytes until a line
  // end; the device must pass bytes as they come.
  Send("a\rb");
  EXPECT_EQ(ReadAll(), "a\rb");
}

TEST_F(SerialDeviceOnPty, WriteReachesTheFarEndAndReadTakesWhatCame) {
  const std::string record = ":0001010300FB\r\n";
  EXPECT_EQ(device_->Write(record.data(), static_cast<int>(record.size()), nullptr, 1000),
            static_cast<int>(record.size()));
  EXPECT_EQ(ReadAvailable(pty_.MasterFd(), record.size()), record);

  char buf[16];
  EXPECT_EQ(device_->Read(buf, sizeof buf), 0);  // nothing there: no wait
  Send("!0102030405\n");
  EXPECT_EQ(device_->Read(buf, 4), 4);
  EXPECT_EQ(std::string(buf, 4), "!010");
  EXPECT_EQ(ReadAll(), "2030405\n");
}

TEST_F(SerialDeviceOnPty, ClearErrorCountsTheReceiveQueue) {
  EXPECT_EQ(InQueue(), 0u);
  Send("0123456789");
  EXPECT_EQ(InQueue(), 10u);
  char buf[3];
  ASSERT_EQ(device_->Read(buf, 3), 3);
  EXPECT_EQ(InQueue(), 7u);
  uint32_t errors = 99;
  ComStat stat{};
  ASSERT_TRUE(device_->ClearError(&errors, &stat));
  EXPECT_EQ(errors, 0u);
  EXPECT_EQ(stat.cbOutQue, 0u);
}

TEST_F(SerialDeviceOnPty, QueueHoldsReadSizeAndKeepsTheRestInTheDriver) {
  ASSERT_TRUE(device_->SetupQueues(8, 2048));
  Send("0123456789ABCDEF");
  EXPECT_EQ(InQueue(), 8u);
  EXPECT_EQ(ReadAll(), "01234567");
  EXPECT_EQ(ReadAll(), "89ABCDEF");  // nothing was dropped
  EXPECT_FALSE(device_->SetupQueues(0, 0));
}

TEST_F(SerialDeviceOnPty, EventCharacterIsReported) {
  ASSERT_TRUE(device_->SetMask(kEvRxFlag | kEvRxChar));
  Send("!00\n");
  uint32_t occurred = 0;
  ASSERT_TRUE(device_->WaitCommEvent(&occurred, wakeup_));
  EXPECT_EQ(occurred, kEvRxFlag | kEvRxChar);

  // Only monitored events are reported.
  ASSERT_TRUE(device_->SetMask(kEvRxFlag));
  Send("!01\n");
  ASSERT_TRUE(device_->WaitCommEvent(&occurred, wakeup_));
  EXPECT_EQ(occurred, kEvRxFlag);
  EXPECT_EQ(ReadAll(), "!00\n!01\n");
}

TEST_F(SerialDeviceOnPty, WaitBlocksUntilTheEventCharacterArrives) {
  ASSERT_TRUE(device_->SetMask(kEvRxFlag));
  auto waiter = std::async(std::launch::async, [&] {
    uint32_t occurred = 0;
    const bool ok = device_->WaitCommEvent(&occurred, wakeup_);
    return ok ? occurred : 0xFFFFFFFFu;
  });
  WakeOnExit wake_waiter{wakeup_};
  WriteAll(pty_.MasterFd(), "!0002");  // no event character yet
  EXPECT_EQ(waiter.wait_for(50ms), std::future_status::timeout);
  WriteAll(pty_.MasterFd(), "03\n");
  ASSERT_EQ(waiter.wait_for(2s), std::future_status::ready);
  EXPECT_EQ(waiter.get(), kEvRxFlag);
  EXPECT_EQ(ReadAll(), "!000203\n");
}

TEST_F(SerialDeviceOnPty, EventSeenByAReadIsStillReportedToTheWaiter) {
  // The main thread may pull a line into the queue (status query) before the
  // event thread looks; the line must still be announced.
  ASSERT_TRUE(device_->SetMask(kEvRxFlag));
  Send("!first\n");
  EXPECT_EQ(InQueue(), 7u);
  uint32_t occurred = 0;
  ASSERT_TRUE(device_->WaitCommEvent(&occurred, wakeup_));
  EXPECT_EQ(occurred, kEvRxFlag);
}

TEST_F(SerialDeviceOnPty, WaitIsEndedByTheWakeupEvent) {
  ASSERT_TRUE(device_->SetMask(kEvRxFlag));
  auto waiter = std::async(std::launch::async, [&] {
    const double cpu_before = ThreadCpuMs();
    uint32_t occurred = 0xFF;
    const bool ok = device_->WaitCommEvent(&occurred, wakeup_);
    return std::make_tuple(ok, occurred, ThreadCpuMs() - cpu_before);
  });
  WakeOnExit wake_waiter{wakeup_};
  EXPECT_EQ(waiter.wait_for(100ms), std::future_status::timeout);
  wakeup_.Signal();
  ASSERT_EQ(waiter.wait_for(2s), std::future_status::ready);
  const auto [ok, occurred, cpu_ms] = waiter.get();
  EXPECT_TRUE(ok);
  EXPECT_EQ(occurred, 0u);
  EXPECT_LT(cpu_ms, 30.0) << "the wait spun";
}

TEST_F(SerialDeviceOnPty, FullQueueNeitherSpinsNorLosesTheEvent) {
  ASSERT_TRUE(device_->SetupQueues(8, 2048));
  ASSERT_TRUE(device_->SetMask(kEvRxFlag));
  Send("0123456789\n");  // fills the queue; the line end stays in the driver
  auto waiter = std::async(std::launch::async, [&] {
    const double cpu_before = ThreadCpuMs();
    uint32_t occurred = 0;
    const bool ok = device_->WaitCommEvent(&occurred, wakeup_);
    return std::make_tuple(ok, occurred, ThreadCpuMs() - cpu_before);
  });
  WakeOnExit wake_waiter{wakeup_};
  EXPECT_EQ(waiter.wait_for(100ms), std::future_status::timeout);
  EXPECT_EQ(ReadAll(), "01234567");  // room again: the waiter reads on
  ASSERT_EQ(waiter.wait_for(2s), std::future_status::ready);
  const auto [ok, occurred, cpu_ms] = waiter.get();
  EXPECT_TRUE(ok);
  EXPECT_EQ(occurred, kEvRxFlag);
  EXPECT_LT(cpu_ms, 30.0) << "the wait spun on a full queue";
  EXPECT_EQ(ReadAll(), "89\n");
}

TEST_F(SerialDeviceOnPty, QueueOver80PercentAndTransmitEmpty) {
  ASSERT_TRUE(device_->SetupQueues(10, 2048));
  ASSERT_TRUE(device_->SetMask(kEvRx80Full));
  Send("12345678");  // 80 %: not over
  EXPECT_EQ(InQueue(), 8u);
  uint32_t occurred = 0xFF;
  wakeup_.Signal();  // returns at once, with the events pending if any
  ASSERT_TRUE(device_->WaitCommEvent(&occurred, wakeup_));
  EXPECT_EQ(occurred, 0u);
  wakeup_.Reset();
  Send("9");
  ASSERT_TRUE(device_->WaitCommEvent(&occurred, wakeup_));
  EXPECT_EQ(occurred, kEvRx80Full);

  ASSERT_TRUE(device_->SetMask(kEvTxEmpty));
  ASSERT_EQ(device_->Write("abc", 3, nullptr, 1000), 3);
  ASSERT_TRUE(device_->WaitCommEvent(&occurred, wakeup_));
  EXPECT_EQ(occurred, kEvTxEmpty);
}

TEST_F(SerialDeviceOnPty, WriteStopsAtTimeoutOrCancel) {
  // Nobody reads the far end, so the driver's buffer fills up.
  const std::string big(4 << 20, 'x');
  auto start = Clock::now();
  errno = 0;
  const int written = device_->Write(big.data(), static_cast<int>(big.size()), nullptr, 50);
  EXPECT_GT(written, 0);
  EXPECT_LT(written, static_cast<int>(big.size()));
  EXPECT_EQ(errno, ETIMEDOUT);
  EXPECT_LT(Clock::now() - start, 1s);

  ManualResetEvent cancel;
  auto writer = std::async(std::launch::async, [&] {
    const int n = device_->Write(big.data(), static_cast<int>(big.size()), &cancel, kInfinite);
    return std::make_pair(n, errno);
  });
  WakeOnExit stop_writer{cancel};
  EXPECT_EQ(writer.wait_for(50ms), std::future_status::timeout);
  cancel.Signal();
  ASSERT_EQ(writer.wait_for(2s), std::future_status::ready);
  const auto [n, err] = writer.get();
  EXPECT_EQ(n, 0);  // the buffer was still full
  EXPECT_EQ(err, ECANCELED);
  EXPECT_EQ(device_->Write("z", 1, &cancel, kInfinite), 0);  // cancelled before it began
}

TEST_F(SerialDeviceOnPty, HangUpIsALastingErrorThatDoesNotSpin) {
  ASSERT_TRUE(device_->SetMask(kEvRxFlag));
  auto waiter = std::async(std::launch::async, [&] {
    uint32_t occurred = 0;
    const bool ok = device_->WaitCommEvent(&occurred, wakeup_);
    return std::make_pair(ok, errno);
  });
  WakeOnExit wake_waiter{wakeup_};
  EXPECT_EQ(waiter.wait_for(50ms), std::future_status::timeout);
  pty_.CloseMaster();  // the adapter is unplugged
  ASSERT_EQ(waiter.wait_for(2s), std::future_status::ready);
  const auto [ok, err] = waiter.get();
  EXPECT_FALSE(ok);
  EXPECT_EQ(err, EIO);
  EXPECT_TRUE(device_->HungUp());

  // Calling again fails at once rather than blocking or spinning.
  const auto start = Clock::now();
  uint32_t occurred = 0;
  errno = 0;
  EXPECT_FALSE(device_->WaitCommEvent(&occurred, wakeup_));
  EXPECT_EQ(errno, EIO);
  EXPECT_LT(Clock::now() - start, 100ms);
  EXPECT_FALSE(device_->ClearError(nullptr, nullptr));
  EXPECT_EQ(errno, EIO);
  EXPECT_EQ(device_->Write("x", 1, nullptr, 100), -1);
  EXPECT_EQ(errno, EIO);
  char buf[4];
  EXPECT_EQ(device_->Read(buf, 4), -1);
  EXPECT_EQ(errno, EIO);
  // The caller then waits for its stop request, and can.
  wakeup_.Signal();
  EXPECT_EQ(wakeup_.Wait(0), WaitResult::Signaled);
}

TEST_F(SerialDeviceOnPty, BytesReceivedBeforeAHangUpAreStillDelivered) {
  Send("!last\n");
  EXPECT_EQ(InQueue(), 6u);
  pty_.CloseMaster();
  ComStat stat{};
  ASSERT_TRUE(device_->ClearError(nullptr, &stat));
  EXPECT_EQ(stat.cbInQue, 6u);
  EXPECT_EQ(ReadAll(), "!last\n");
  EXPECT_FALSE(device_->ClearError(nullptr, &stat));
  EXPECT_EQ(errno, EIO);
}

TEST_F(SerialDeviceOnPty, SettingsAreKept) {
  Dcb dcb = LineSettings('\r');
  dcb.BaudRate = 250000;
  ASSERT_TRUE(device_->SetState(dcb));
  Dcb back;
  ASSERT_TRUE(device_->GetState(&back));
  EXPECT_EQ(back.BaudRate, 250000u);
  EXPECT_EQ(back.EvtChar, '\r');

  dcb.StopBits = kStopBitsOneAndHalf;
  errno = 0;
  EXPECT_FALSE(device_->SetState(dcb));
  EXPECT_EQ(errno, EINVAL);
  ASSERT_TRUE(device_->GetState(&back));
  EXPECT_EQ(back.StopBits, kStopBitsOne);  // the refused block was not taken

  CommTimeouts timeouts{0xFFFFFFFF, 0, 0, 0, 0};
  ASSERT_TRUE(device_->SetTimeouts(timeouts));
  CommTimeouts got{};
  ASSERT_TRUE(device_->GetTimeouts(&got));
  EXPECT_EQ(got.ReadIntervalTimeout, 0xFFFFFFFFu);
}

}  // namespace
}  // namespace platform

namespace platform {
namespace {

TEST_F(SerialDeviceOnPty, ShutdownReleasesBlockedThreadsAndThePort) {
  ASSERT_TRUE(device_->SetMask(kEvRxFlag));
  Send("!queued\n");
  EXPECT_EQ(InQueue(), 8u);
  auto waiter = std::async(std::launch::async, [&] {
    uint32_t occurred = 0;
    bool ok;
    do {  // the line above is reported first
      ok = device_->WaitCommEvent(&occurred, wakeup_);
    } while (ok && occurred != 0);
    return std::make_pair(ok, errno);
  });
  WakeOnExit wake_waiter{wakeup_};
  // Nobody reads the far end: this write blocks for room.
  const std::string big(4 << 20, 'x');
  auto writer = std::async(std::launch::async, [&] {
    const int n = device_->Write(big.data(), static_cast<int>(big.size()), nullptr, kInfinite);
    return std::make_pair(n, errno);
  });
  EXPECT_EQ(writer.wait_for(50ms), std::future_status::timeout);
  EXPECT_EQ(waiter.wait_for(0ms), std::future_status::timeout);

  device_->Shutdown();
  ASSERT_EQ(waiter.wait_for(2s), std::future_status::ready);
  ASSERT_EQ(writer.wait_for(2s), std::future_status::ready);
  const auto [wait_ok, wait_err] = waiter.get();
  EXPECT_FALSE(wait_ok);
  EXPECT_EQ(wait_err, EBADF);
  const auto [written, write_err] = writer.get();
  EXPECT_LT(written, static_cast<int>(big.size()));
  EXPECT_EQ(write_err, EBADF);

  // The port is free at once, while this object still exists.
  auto reopened = SerialDevice::Open(pty_.SlavePath());
  EXPECT_NE(reopened, nullptr) << errno;

  // Bytes already queued are still handed out; everything else fails.
  EXPECT_EQ(ReadAll(), "!queued\n");
  uint32_t occurred = 0;
  EXPECT_FALSE(device_->WaitCommEvent(&occurred, wakeup_));
  EXPECT_EQ(errno, EBADF);
  EXPECT_EQ(device_->Write("x", 1, nullptr, 100), -1);
  EXPECT_EQ(errno, EBADF);
  EXPECT_FALSE(device_->ClearError(nullptr, nullptr));
  EXPECT_FALSE(device_->SetState(LineSettings()));
  device_->Shutdown();  // twice is harmless
}

}  // namespace
}  // namespace platform
