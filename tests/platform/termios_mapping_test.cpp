#include <gtest/gtest.h>

#include <cerrno>

#include "platform/pseudo_terminal.h"
#include "platform/termios_mapping_posix.h"
#include "platform/termios_speed_posix.h"
#include "pty_test_support.h"

namespace platform {
namespace {

using testing::ScopedFd;

Dcb Base() {
  Dcb dcb;
  dcb.BaudRate = 115200;
  dcb.Flags = kFBinary;
  dcb.ByteSize = 8;
  dcb.XonChar = 17;
  dcb.XoffChar = 19;
  return dcb;
}

class TermiosMappingOnPty : public ::testing::Test {
 protected:
  termios Applied(const Dcb& dcb) {
    std::string refused;
    EXPECT_TRUE(ApplyDcb(fd_.get(), dcb, false, &refused)) << SystemText() << refused;
    return SeenFromOutside();
  }
  // The line's settings as another program sees them, through the other end.
  termios SeenFromOutside() {
    termios tio{};
    EXPECT_EQ(::tcgetattr(pty_.MasterFd(), &tio), 0);
    return tio;
  }
  uint32_t Speed() {
    uint32_t speed = 0;
    EXPECT_TRUE(ReadBackSpeed(fd_.get(), &speed));
    return speed;
  }
  static std::string SystemText() { return std::to_string(errno); }

  PseudoTerminal pty_;
  ScopedFd fd_{pty_.SlavePath()};
};

TEST_F(TermiosMappingOnPty, StandardSpeedsReadBackAsStandardAndOthersExactly) {
  ASSERT_GE(fd_.get(), 0);
  // What stty and every other tool read: the standard constant.
  const std::pair<uint32_t, speed_t> standard[] = {
      {9600, B9600}, {115200, B115200}, {1200, B1200}, {921600, B921600}};
  for (const auto& [speed, constant] : standard) {
    Dcb dcb = Base();
    dcb.BaudRate = speed;
    const termios tio = Applied(dcb);
    EXPECT_EQ(::cfgetospeed(&tio), constant) << speed;
    EXPECT_EQ(::cfgetispeed(&tio), constant) << speed;
    EXPECT_EQ(Speed(), speed);
  }
  for (uint32_t speed : {250000u, 31250u, 14400u}) {
    Dcb dcb = Base();
    dcb.BaudRate = speed;
    Applied(dcb);
    EXPECT_EQ(Speed(), speed);
  }
  // And back to a standard one after an odd one.
  Dcb dcb = Base();
  const termios tio = Applied(dcb);
  EXPECT_EQ(::cfgetospeed(&tio), static_cast<speed_t>(B115200));
}

TEST_F(TermiosMappingOnPty, RawModeWithLocalLineAndReceiverOn) {
  const termios tio = Applied(Base());
  EXPECT_EQ(tio.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
  EXPECT_EQ(tio.c_oflag & OPOST, 0u);
  EXPECT_EQ(tio.c_iflag & (ICRNL | INLCR | IGNCR | ISTRIP | IXON | IXOFF), 0u);
  EXPECT_EQ(tio.c_cflag & (CLOCAL | CREAD), CLOCAL | CREAD);
  EXPECT_EQ(tio.c_cc[VMIN], 0);
  EXPECT_EQ(tio.c_cc[VTIME], 0);
}

// A pseudo-terminal always keeps 8 bits without parity; the C library then
// reports the setting as not taken. So sizes and parity are checked on the
// mapping itself, and on the pty only that a refusal is reported.
TEST(DcbToTermios, CharacterSizes) {
  const std::pair<uint8_t, tcflag_t> sizes[] = {{5, CS5}, {6, CS6}, {7, CS7}, {8, CS8}};
  for (const auto& [bits, flag] : sizes) {
    Dcb dcb = Base();
    dcb.ByteSize = bits;
    termios tio{};
    ASSERT_TRUE(DcbToTermios(dcb, false, tio));
    EXPECT_EQ(tio.c_cflag & CSIZE, flag) << int(bits);
  }
}

TEST(DcbToTermios, ParityIncludingMarkAndSpace) {
  const std::pair<uint8_t, tcflag_t> parities[] = {{kParityNone, 0},
                                                   {kParityOdd, PARENB | PARODD},
                                                   {kParityEven, PARENB},
                                                   {kParityMark, PARENB | PARODD | CMSPAR},
                                                   {kParitySpace, PARENB | CMSPAR}};
  for (const auto& [parity, flags] : parities) {
    Dcb dcb = Base();
    dcb.Parity = parity;
    termios tio{};
    ASSERT_TRUE(DcbToTermios(dcb, false, tio));
    EXPECT_EQ(tio.c_cflag & (PARENB | PARODD | CMSPAR), flags) << int(parity);
  }
}

TEST_F(TermiosMappingOnPty, SettingsTheDeviceCannotTakeAreReported) {
  Dcb dcb = Base();
  EXPECT_EQ(Applied(dcb).c_cflag & (CSIZE | PARENB), static_cast<tcflag_t>(CS8));
  dcb.ByteSize = 7;
  errno = 0;
  EXPECT_FALSE(ApplyDcb(fd_.get(), dcb, false));
  EXPECT_EQ(errno, EINVAL);
  for (uint8_t parity : {kParityOdd, kParityEven, kParityMark, kParitySpace}) {
    dcb = Base();
    dcb.Parity = parity;
    errno = 0;
    std::string refused;
    EXPECT_FALSE(ApplyDcb(fd_.get(), dcb, false, &refused));
    EXPECT_EQ(errno, EINVAL);
    EXPECT_EQ(refused, "Parity");
  }
}

TEST(DcbToTermios, ParityCheckingOnlyWhenAskedAndFailedBytesAreDropped) {
  Dcb dcb = Base();
  dcb.Parity = kParityEven;
  termios tio{};
  ASSERT_TRUE(DcbToTermios(dcb, false, tio));
  EXPECT_EQ(tio.c_iflag & INPCK, 0u);
  dcb.Flags |= kFParity;
  ASSERT_TRUE(DcbToTermios(dcb, false, tio));
  // Without IGNPAR a byte that fails the check would be read as a 0 byte.
  EXPECT_EQ(tio.c_iflag & (INPCK | IGNPAR), static_cast<tcflag_t>(INPCK | IGNPAR));
  ASSERT_TRUE(DcbToTermios(dcb, true, tio));
  EXPECT_EQ(tio.c_iflag & (INPCK | IGNPAR), static_cast<tcflag_t>(INPCK | IGNPAR));
  dcb.Parity = kParityNone;  // nothing to check without a parity bit
  ASSERT_TRUE(DcbToTermios(dcb, false, tio));
  EXPECT_EQ(tio.c_iflag & INPCK, 0u);
}

TEST_F(TermiosMappingOnPty, StopBits) {
  Dcb dcb = Base();
  dcb.StopBits = kStopBitsTwo;
  EXPECT_EQ(Applied(dcb).c_cflag & CSTOPB, static_cast<tcflag_t>(CSTOPB));
  dcb.StopBits = kStopBitsOne;
  EXPECT_EQ(Applied(dcb).c_cflag & CSTOPB, 0u);
}

TEST_F(TermiosMappingOnPty, RefusedFieldsLeaveTheDeviceUnchanged) {
  Dcb good = Base();
  good.BaudRate = 250000;
  good.StopBits = kStopBitsTwo;
  const termios before = Applied(good);

  struct Case {
    const char* field;
    void (*spoil)(Dcb&);
  };
  const Case cases[] = {
      {"StopBits", [](Dcb& d) { d.StopBits = kStopBitsOneAndHalf; }},
      {"StopBits", [](Dcb& d) { d.StopBits = 3; }},
      {"ByteSize", [](Dcb& d) { d.ByteSize = 4; }},
      {"ByteSize", [](Dcb& d) { d.ByteSize = 9; }},
      {"Parity", [](Dcb& d) { d.Parity = 5; }},
      {"BaudRate", [](Dcb& d) { d.BaudRate = 0; }},  // speed 0 would hang up the line
      {"XonChar",
       [](Dcb& d) {
         d.Flags |= kFOutX;
         d.XonChar = d.XoffChar = 0;
       }},
  };
  for (const Case& c : cases) {
    Dcb bad = good;
    c.spoil(bad);
    std::string refused;
    errno = 0;
    EXPECT_FALSE(ApplyDcb(fd_.get(), bad, false, &refused));
    EXPECT_EQ(errno, EINVAL);
    EXPECT_EQ(refused, c.field);
    const termios after = SeenFromOutside();
    EXPECT_EQ(after.c_cflag, before.c_cflag) << c.field;
    EXPECT_EQ(Speed(), 250000u);
  }
}

TEST_F(TermiosMappingOnPty, HardwareFlowControl) {
  Dcb dcb = Base();
  EXPECT_EQ(Applied(dcb).c_cflag & CRTSCTS, 0u);
  dcb.Flags = kFBinary | kFOutxCtsFlow;
  EXPECT_EQ(Applied(dcb).c_cflag & CRTSCTS, static_cast<tcflag_t>(CRTSCTS));
  dcb.Flags = kFBinary | kFRtsControlHandshake;
  EXPECT_EQ(Applied(dcb).c_cflag & CRTSCTS, static_cast<tcflag_t>(CRTSCTS));
  dcb.Flags = kFBinary | kFRtsControlEnable | kFDtrControlEnable;
  EXPECT_EQ(Applied(dcb).c_cflag & CRTSCTS, 0u);
}

TEST_F(TermiosMappingOnPty, SoftwareFlowControlWithItsCharacters) {
  Dcb dcb = Base();
  dcb.Flags = kFBinary | kFOutX;
  dcb.XonChar = 0x11;
  dcb.XoffChar = 0x13;
  termios tio = Applied(dcb);
  EXPECT_EQ(tio.c_iflag & (IXON | IXOFF), static_cast<tcflag_t>(IXON));
  EXPECT_EQ(tio.c_cc[VSTART], 0x11);
  EXPECT_EQ(tio.c_cc[VSTOP], 0x13);

  dcb.Flags = kFBinary | kFInX;
  dcb.XonChar = 'Q';
  dcb.XoffChar = 'S';
  tio = Applied(dcb);
  EXPECT_EQ(tio.c_iflag & (IXON | IXOFF), static_cast<tcflag_t>(IXOFF));
  EXPECT_EQ(tio.c_cc[VSTART], 'Q');
  EXPECT_EQ(tio.c_cc[VSTOP], 'S');

  // The main window's settings: no flow control, both characters 0.
  dcb = Base();
  dcb.XonChar = dcb.XoffChar = 0;
  dcb.EvtChar = dcb.EofChar = '\n';
  tio = Applied(dcb);
  EXPECT_EQ(tio.c_iflag & (IXON | IXOFF), 0u);
}

TEST(DcbToTermios, KeepsNothingOfTheOldMode) {
  termios tio{};
  tio.c_iflag = ICRNL | IXANY | BRKINT;
  tio.c_oflag = OPOST | ONLCR;
  tio.c_lflag = ICANON | ECHO;
  tio.c_cflag = B9600 | PARENB | CS7 | CRTSCTS;
  Dcb dcb = Base();
  ASSERT_TRUE(DcbToTermios(dcb, false, tio));
  EXPECT_EQ(tio.c_iflag, static_cast<tcflag_t>(IGNBRK)) << "breaks are no data";
  EXPECT_EQ(tio.c_oflag, 0u);
  EXPECT_EQ(tio.c_lflag, 0u);
  EXPECT_EQ(::cfgetospeed(&tio), static_cast<speed_t>(B115200));
  EXPECT_EQ(tio.c_cflag & (PARENB | CRTSCTS | CSIZE), static_cast<tcflag_t>(CS8));
}

}  // namespace
}  // namespace platform
