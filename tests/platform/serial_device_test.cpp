#include "platform/serial_device.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <future>
#include <thread>

#include "platform/pseudo_terminal.h"
#include "platform/termios_speed_posix.h"
#include "pty_test_support.h"

namespace platform {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using testing::DescriptorOf;
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
    device_fd_ = DescriptorOf(pty_.SlavePath());
    ASSERT_GE(device_fd_, 0);
  }
  // Sends from the far end and waits until the device can see the bytes.
  void Send(const std::string& text) {
    WriteAll(pty_.MasterFd(), text);
    ASSERT_TRUE(WaitReadable(device_fd_));
  }
  // The line's settings, as another program sees them.
  termios LineSeenFromOutside() {
    termios tio{};
    EXPECT_EQ(::tcgetattr(pty_.MasterFd(), &tio), 0);
    return tio;
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
  int device_fd_ = -1;
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

TEST(SerialDeviceOpen, OnlySerialLinesAreTaken) {
  errno = 0;
  EXPECT_EQ(SerialDevice::Open("/dev/ptmx"), nullptr) << "a pseudo-terminal master";
  EXPECT_EQ(errno, ENOTTY);

  // /dev/tty is the controlling terminal: the operator's own screen and
  // keyboard. A child with a terminal of its own tries to take it.
  PseudoTerminal terminal;
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::setsid();
    const int fd = ::open(terminal.SlavePath().c_str(), O_RDWR);  // now controlling
    termios before{};
    if (fd < 0 || ::tcgetattr(fd, &before) != 0) _exit(2);
    before.c_lflag |= ICANON | ECHO;
    if (::tcsetattr(fd, TCSANOW, &before) != 0) _exit(2);
    errno = 0;
    const bool refused = SerialDevice::Open("/dev/tty") == nullptr && errno == ENOTTY;
    termios after{};
    ::tcgetattr(fd, &after);
    const bool untouched = after.c_lflag == before.c_lflag && after.c_iflag == before.c_iflag;
    _exit(refused && untouched ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "/dev/tty was taken, or its settings changed";
}

TEST(SerialDeviceOpen, TheLineGetsItsSettingsBackAtClose) {
  PseudoTerminal pty;
  termios cooked{};
  ASSERT_EQ(::tcgetattr(pty.MasterFd(), &cooked), 0);
  cooked.c_lflag |= ICANON | ECHO;
  cooked.c_iflag |= ICRNL;
  ASSERT_EQ(::cfsetspeed(&cooked, B9600), 0);
  ASSERT_EQ(::tcsetattr(pty.MasterFd(), TCSANOW, &cooked), 0);
  const auto expect_cooked = [&pty](const char* when) {
    termios now{};
    ASSERT_EQ(::tcgetattr(pty.MasterFd(), &now), 0);
    EXPECT_EQ(now.c_lflag & (ICANON | ECHO), static_cast<tcflag_t>(ICANON | ECHO)) << when;
    EXPECT_EQ(now.c_iflag & ICRNL, static_cast<tcflag_t>(ICRNL)) << when;
    EXPECT_EQ(::cfgetospeed(&now), static_cast<speed_t>(B9600)) << when;
  };

  for (const bool shut_down : {false, true}) {
    auto device = SerialDevice::Open(pty.SlavePath());
    ASSERT_NE(device, nullptr) << errno;
    ASSERT_TRUE(device->SetState(LineSettings()));
    termios open{};
    ASSERT_EQ(::tcgetattr(pty.MasterFd(), &open), 0);
    EXPECT_EQ(open.c_lflag & (ICANON | ECHO), 0u);
    if (shut_down) device->Shutdown();
    device.reset();
    expect_cooked(shut_down ? "after Shutdown" : "after close");
  }
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

TEST_F(SerialDeviceOnPty, FullQueueKeepsReadingAndKeepsTheNewestBytes) {
  ASSERT_TRUE(device_->SetupQueues(8, 2048));
  ASSERT_TRUE(device_->SetMask(kEvRxFlag));
  Send("0123456789ABCDEF\n");  // twice what fits, then the line end
  uint32_t occurred = 0;
  ASSERT_TRUE(device_->WaitCommEvent(&occurred, wakeup_));
  EXPECT_EQ(occurred, kEvRxFlag) << "the line end must be seen although the queue ran full";
  uint32_t errors = 0;
  ComStat stat{};
  ASSERT_TRUE(device_->ClearError(&errors, &stat));
  EXPECT_EQ(errors, kCeRxOver);
  EXPECT_EQ(stat.cbInQue, 8u);
  EXPECT_EQ(ReadAll(), "9ABCDEF\n");
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

TEST_F(SerialDeviceOnPty, HangUpIsReportedOnceThenEverythingFailsAtOnce) {
  ASSERT_TRUE(device_->SetMask(kEvRxFlag));
  auto waiter = std::async(std::launch::async, [&] {
    uint32_t occurred = 0;
    const bool ok = device_->WaitCommEvent(&occurred, wakeup_);
    return std::make_pair(ok, occurred);
  });
  WakeOnExit wake_waiter{wakeup_};
  EXPECT_EQ(waiter.wait_for(50ms), std::future_status::timeout);
  EXPECT_FALSE(device_->FailedForGood());
  pty_.CloseMaster();  // the adapter is unplugged
  ASSERT_EQ(waiter.wait_for(2s), std::future_status::ready);
  const auto [ok, occurred] = waiter.get();
  EXPECT_TRUE(ok);
  EXPECT_EQ(occurred, kEvDeviceGone) << "reported although not in the mask";
  int error = 0;
  EXPECT_TRUE(device_->Gone(&error));
  EXPECT_EQ(error, EIO);
  EXPECT_TRUE(device_->FailedForGood());

  // Once only: calling again fails at once rather than blocking or spinning.
  const auto start = Clock::now();
  uint32_t again = 0;
  errno = 0;
  EXPECT_FALSE(device_->WaitCommEvent(&again, wakeup_));
  EXPECT_EQ(errno, EIO);
  EXPECT_LT(Clock::now() - start, 100ms);
  EXPECT_FALSE(device_->ClearError(nullptr, nullptr));
  EXPECT_EQ(errno, EIO);
  EXPECT_EQ(device_->Write("x", 1, nullptr, 100), -1);
  EXPECT_EQ(errno, EIO);
  char buf[4];
  EXPECT_EQ(device_->Read(buf, 4), -1);
  EXPECT_EQ(errno, EIO);
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

TEST_F(SerialDeviceOnPty, BreaksNeverBecomeDataBytes) {
  // A break reaches a raw terminal as a 0 byte unless it is ignored, or
  // marked and taken out again while break events are monitored.
  EXPECT_EQ(LineSeenFromOutside().c_iflag & (IGNBRK | BRKINT | PARMRK),
            static_cast<tcflag_t>(IGNBRK));
  ASSERT_TRUE(device_->SetMask(kEvBreak | kEvRxChar));
  EXPECT_EQ(LineSeenFromOutside().c_iflag & (IGNBRK | BRKINT | PARMRK),
            static_cast<tcflag_t>(PARMRK));
  // With marks in the input a data byte 0xFF comes doubled; it must come
  // out once.
  Send("a\xff\x01b");
  EXPECT_EQ(ReadAll(), "a\xff\x01b");
  uint32_t errors = 0;
  ASSERT_TRUE(device_->ClearError(&errors, nullptr));
  EXPECT_EQ(errors, 0u);
  // New line settings keep the marking as long as breaks are monitored.
  ASSERT_TRUE(device_->SetState(LineSettings()));
  EXPECT_EQ(LineSeenFromOutside().c_iflag & (IGNBRK | PARMRK), static_cast<tcflag_t>(PARMRK));
  ASSERT_TRUE(device_->SetMask(kEvRxFlag));
  EXPECT_EQ(LineSeenFromOutside().c_iflag & (IGNBRK | PARMRK), static_cast<tcflag_t>(IGNBRK));
  Send("\xff");
  EXPECT_EQ(ReadAll(), "\xff");
}

TEST_F(SerialDeviceOnPty, NewSettingsApplyWholeAndARefusedBlockChangesNothing) {
  Dcb dcb = LineSettings('\r');
  dcb.BaudRate = 250000;
  ASSERT_TRUE(device_->SetState(dcb));
  ASSERT_TRUE(device_->SetMask(kEvRxFlag));
  const auto expect_carriage_return_ends_a_line = [&] {
    Send("a\r");
    uint32_t occurred = 0;
    ASSERT_TRUE(device_->WaitCommEvent(&occurred, wakeup_));
    EXPECT_EQ(occurred, kEvRxFlag);
    EXPECT_EQ(ReadAll(), "a\r");
  };
  expect_carriage_return_ends_a_line();
  uint32_t speed = 0;
  ASSERT_TRUE(ReadBackSpeed(pty_.MasterFd(), &speed));
  EXPECT_EQ(speed, 250000u);

  Dcb refused = LineSettings('\n');
  refused.StopBits = kStopBitsOneAndHalf;
  errno = 0;
  EXPECT_FALSE(device_->SetState(refused));
  EXPECT_EQ(errno, EINVAL);
  expect_carriage_return_ends_a_line();
  ASSERT_TRUE(ReadBackSpeed(pty_.MasterFd(), &speed));
  EXPECT_EQ(speed, 250000u);
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
