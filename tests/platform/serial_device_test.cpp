// What the serial device does on Linux beyond the contract that every
// system keeps (tests/serial_device): other processes, the controlling
// terminal, termios settings and breaks.
#include "platform/serial_device.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "platform/pseudo_terminal.h"
#include "platform/termios_speed_posix.h"
#include "pty_test_support.h"
#include "serial_device/serial_peer.h"

namespace platform {
namespace {

using testing::DescriptorOf;
using testing::LineSettings;
using testing::ReadAvailable;
using testing::WaitReadable;
using testing::WriteAll;

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

TEST(SerialDeviceOpen, AnotherProcessCannotTakeAHeldPort) {
  PseudoTerminal pty;
  auto first = SerialDevice::Open(pty.SlavePath());
  ASSERT_NE(first, nullptr);

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
}

TEST(SerialDeviceOpen, TheControllingTerminalIsNeverTaken) {
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

TEST(SerialDeviceOpen, ALineLeftCookedIsRawFromTheOpen) {
  // Another program left the line cooked: it would hold bytes back until a
  // line end, turn CR into LF, take ^C for a signal and echo what came.
  // Bytes must pass as they come even before any settings are applied.
  PseudoTerminal pty;
  termios cooked{};
  ASSERT_EQ(::tcgetattr(pty.MasterFd(), &cooked), 0);
  cooked.c_lflag |= ICANON | ECHO | ISIG;
  cooked.c_iflag |= ICRNL;
  ASSERT_EQ(::tcsetattr(pty.MasterFd(), TCSANOW, &cooked), 0);
  auto device = SerialDevice::Open(pty.SlavePath());
  ASSERT_NE(device, nullptr) << errno;

  WriteAll(pty.MasterFd(), "a\rb\x03");
  ASSERT_TRUE(WaitReadable(DescriptorOf(pty.SlavePath()))) << "held back for a line end";
  char buf[16];
  const int n = device->Read(buf, sizeof buf);
  EXPECT_EQ(std::string(buf, static_cast<size_t>(std::max(n, 0))), "a\rb\x03");
  EXPECT_EQ(ReadAvailable(pty.MasterFd(), 16, 100), "") << "echoed";
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
