// The comm port object on a pseudo-terminal: open, configure, write, read,
// status and close, and the rules of its properties while open.
#include <termios.h>

#include <chrono>

#include "comm/VaDcb.h"
#include "comm_port_test_support.h"
#include "platform/serial_device.h"
#include "platform/termios_speed_posix.h"

namespace comm::test {
namespace {

using namespace std::chrono_literals;

// The line's settings as another program sees them, through the other end
// of the pseudo-terminal.
termios LineTermios(const platform::PseudoTerminal& pty) {
  termios tio{};
  EXPECT_EQ(::tcgetattr(pty.MasterFd(), &tio), 0);
  return tio;
}

uint32_t LineSpeed(const platform::PseudoTerminal& pty) {
  uint32_t speed = 0;
  EXPECT_TRUE(platform::ReadBackSpeed(pty.MasterFd(), &speed));
  return speed;
}

TEST_F(CommPortTest, OpenConfiguresTheDeviceAndFiresOnOpen) {
  port_.SetBaudrate(br57600);
  port_.SetStopbits(sb2);
  port_.FlowControl().SetOutCtsFlow(true);
  port_.EventChars().SetEventChar('\n');
  EXPECT_FALSE(port_.Active());
  port_.Open();
  ASSERT_TRUE(port_.Active());
  EXPECT_EQ(opened_, 1);
  EXPECT_EQ(LineSpeed(pty_), 57600u);
  const termios tio = LineTermios(pty_);
  EXPECT_EQ(tio.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
  EXPECT_TRUE(tio.c_cflag & CSTOPB);
  EXPECT_TRUE(tio.c_cflag & CRTSCTS);
  EXPECT_EQ(tio.c_cc[VSTART], 17);
  EXPECT_EQ(tio.c_cc[VSTOP], 19);
  // [ceError, ceRxChar, ceTxEmpty] without the writer's transmit-empty bit.
  EXPECT_EQ(port_.EventMask(), 0x0081u);
}

TEST_F(CommPortTest, QueuedWriteReachesTheTargetAndReportsTheDrainedBuffer) {
  int tx_empty = 0;
  port_.OnTxEmpty = [&](tk::TObject*) { ++tx_empty; };
  port_.Open();
  EXPECT_TRUE(port_.WriteText(":0001010300FB\r\n"));
  EXPECT_EQ(Received(15), ":0001010300FB\r\n");
  EXPECT_TRUE(loop_.RunUntil([&] { return tx_empty == 1; }, 2000));
  EXPECT_TRUE(port_.WriteText(""));
}

TEST_F(CommPortTest, DirectWriteReachesTheTargetOnTheCallersThread) {
  port_.SetDirectWrite(true);
  port_.Open();
  const std::string record = "*0002" + std::string(48, 'A') + "C3\r\n";
  EXPECT_EQ(port_.WriteBuf(record.data(), static_cast<int32_t>(record.size())),
            static_cast<int32_t>(record.size()));
  EXPECT_EQ(Received(record.size()), record);
}

TEST_F(CommPortTest, DirectWriteThatTimesOutLeavesNothingPending) {
  port_.SetDirectWrite(true);
  port_.Buffers().SetReadTimeout(100);
  port_.Open();
  // The target reads nothing, so the terminal's buffer fills up.
  const std::string block(4 * 1024 * 1024, 'x');
  const auto start = std::chrono::steady_clock::now();
  const int32_t written = port_.WriteBuf(block.data(), static_cast<int32_t>(block.size()));
  const auto took = std::chrono::steady_clock::now() - start;
  EXPECT_GE(written, 0);
  EXPECT_LT(written, static_cast<int32_t>(block.size()));
  EXPECT_GE(took, 90ms);
  EXPECT_LT(took, 1500ms);
  EXPECT_FALSE(port_.WriteText(block.substr(0, 64 * 1024)));
  port_.Close();
  // Exactly what the calls reported went out, and nothing follows later.
  const std::string got = Received(block.size(), 300);
  EXPECT_GE(got.size(), static_cast<size_t>(written));
  EXPECT_LE(got.size(), static_cast<size_t>(written) + 64 * 1024);
  EXPECT_TRUE(Received(1, 100).empty());
}

TEST_F(CommPortTest, ReadTextTakesEverythingWaitingThenNothing) {
  port_.Open();
  Send("!0001000300004000C8\r\n!0002000100004000C9\r\n");
  ASSERT_TRUE(WaitForInQue(42));
  TVaCommStatus status;
  port_.GetStatus(status);
  EXPECT_EQ(status.Errors, 0u);
  EXPECT_EQ(status.ComStat.cbInQue, 42u);
  EXPECT_EQ(port_.ReadText(), "!0001000300004000C8\r\n!0002000100004000C9\r\n");
  EXPECT_EQ(port_.ReadText(), "");
  EXPECT_EQ(port_.InQueCount(), 0);
  EXPECT_FALSE(port_.CheckErrors());
}

TEST_F(CommPortTest, ReadBufTakesAtMostItsCountAndNeverWaits) {
  port_.Open();
  char buf[8];
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(port_.ReadBuf(buf, sizeof buf), 0);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 200ms);
  Send("0123456789");
  ASSERT_TRUE(WaitForInQue(10));
  EXPECT_EQ(port_.ReadBuf(buf, 4), 4);
  EXPECT_EQ(std::string(buf, 4), "0123");
  EXPECT_EQ(port_.ReadText(), "456789");
}

TEST_F(CommPortTest, LineEndReachesOnRxFlagOnTheMainThreadWithAllReceived) {
  port_.SetMonitorEvents(TVaCommEvents{ceRxFlag});
  port_.EventChars().SetEventChar('\n');
  std::vector<std::string> lines;
  port_.OnRxFlag = [&](tk::TObject* sender) {
    EXPECT_EQ(sender, &port_);
    EXPECT_TRUE(loop_.IsMainThread());
    lines.push_back(port_.ReadText());
  };
  port_.Open();
  Send("!00010003\r\n");
  ASSERT_TRUE(loop_.RunUntil([&] { return !lines.empty(); }, 2000));
  EXPECT_EQ(lines[0], "!00010003\r\n");
}

TEST_F(CommPortTest, OpeningTwiceRaisesAndLeavesThePortAsItWas) {
  port_.Open();
  const auto device = port_.Device();
  EXPECT_EQ(CommErrorOf([&] { port_.Open(); }), kPortOpenMessage);
  EXPECT_TRUE(port_.Active());
  EXPECT_EQ(port_.Device(), device);
  EXPECT_EQ(opened_, 1);
  EXPECT_TRUE(port_.WriteText("still here"));
  EXPECT_EQ(Received(10), "still here");
}

TEST_F(CommPortTest, CloseReleasesTheDeviceAtOnceAndOnlyOnce) {
  port_.Open();
  port_.Close();
  EXPECT_FALSE(port_.Active());
  EXPECT_EQ(port_.Device(), nullptr);
  EXPECT_EQ(closed_, 1);
  port_.Close();  // a closed port: nothing, no OnClose
  EXPECT_EQ(closed_, 1);
  // Released at once: another object can take the port right away.
  TVaComm other;
  other.SetDeviceName(pty_.SlavePath());
  EXPECT_NO_THROW(other.Open());
  EXPECT_TRUE(other.Active());
  other.Close();
  EXPECT_NO_THROW(port_.Open());
  EXPECT_EQ(opened_, 2);
}

TEST_F(CommPortTest, ClosingAndReopeningInsideAHandlerWorks) {
  port_.SetMonitorEvents(TVaCommEvents{ceRxFlag});
  port_.EventChars().SetEventChar('\n');
  int calls = 0;
  port_.OnRxFlag = [&](tk::TObject*) {
    ++calls;
    port_.Close();
    port_.Open();  // the event thread of the old period still holds the device
  };
  port_.Open();
  Send("x\n");
  ASSERT_TRUE(loop_.RunUntil([&] { return calls == 1; }, 2000));
  EXPECT_TRUE(port_.Active());
  EXPECT_EQ(opened_, 2);
  EXPECT_TRUE(reported_.empty()) << reported_.front();
  Send("y\n");
  EXPECT_TRUE(loop_.RunUntil([&] { return calls == 2; }, 2000));
}

TEST_F(CommPortTest, FrozenPropertiesRaiseWhileOpenAndKeepTheirValues) {
  port_.Open();
  const std::string name = port_.DeviceName();
  EXPECT_EQ(CommErrorOf([&] { port_.SetDeviceName("COM7"); }), kPortOpenMessage);
  EXPECT_EQ(CommErrorOf([&] { port_.SetPortNum(3); }), kPortOpenMessage);
  EXPECT_EQ(CommErrorOf([&] { port_.SetMonitorEvents(TVaCommEvents{}); }), kPortOpenMessage);
  EXPECT_EQ(CommErrorOf([&] { port_.SetDirectWrite(true); }), kPortOpenMessage);
  EXPECT_EQ(CommErrorOf([&] { port_.SetUpdateDCB(false); }), kPortOpenMessage);
  EXPECT_EQ(CommErrorOf([&] { port_.SetBuffers(TVaBuffers()); }), kPortOpenMessage);
  EXPECT_EQ(port_.DeviceName(), name);
  EXPECT_EQ(port_.PortNum(), 0);
  EXPECT_EQ(port_.MonitorEvents(), (TVaCommEvents{ceError, ceRxChar, ceTxEmpty}));
  EXPECT_FALSE(port_.DirectWrite());
  EXPECT_TRUE(port_.UpdateDCB());
  // The time-outs and the priorities may change while open.
  EXPECT_NO_THROW(port_.Buffers().SetReadTimeout(10));
  EXPECT_NO_THROW(port_.Buffers().SetWriteTimeout(10));
  EXPECT_NO_THROW(port_.SetEventPriority(tk::TThreadPriority::tpHigher));
  EXPECT_NO_THROW(port_.SetWritePriority(tk::TThreadPriority::tpNormal));
  port_.Close();
  EXPECT_NO_THROW(port_.SetDeviceName(name));
}

TEST_F(CommPortTest, BufferSizeChangedWhileOpenRaisesAndWaitsForTheNextOpen) {
  port_.Open();
  EXPECT_EQ(CommErrorOf([&] { port_.Buffers().SetReadSize(8); }), kPortOpenMessage);
  EXPECT_EQ(port_.Buffers().ReadSize(), 8);
  // The device kept its queue size.
  Send(std::string(20, 'a'));
  ASSERT_TRUE(WaitForInQue(20));
  EXPECT_EQ(port_.ReadText(), std::string(20, 'a'));
  port_.Close();
  port_.Open();
  Send(std::string(20, 'b'));
  ASSERT_TRUE(WaitForInQue(8));
  EXPECT_EQ(port_.ReadText(), std::string(8, 'b')) << "the new queue size applies now";
}

TEST_F(CommPortTest, LineSettingsApplyAtOnceWhileOpen) {
  port_.Open();
  EXPECT_EQ(LineSpeed(pty_), 1200u);
  port_.SetBaudrate(br9600);
  EXPECT_EQ(LineSpeed(pty_), 9600u);
  port_.FlowControl().SetXonXoffIn(true);
  EXPECT_TRUE(LineTermios(pty_).c_iflag & IXOFF);
  port_.EventChars().SetEventChar('#');
  // Writing an event character, even the same one, rewrites the whole block.
  platform::Dcb other =
      BuildDcb(TVaLineSettings{}, port_.FlowControl(), port_.EventChars(), port_.Buffers());
  other.BaudRate = 300;
  ASSERT_TRUE(port_.Device()->SetState(other));
  port_.EventChars().SetEventChar('#');
  EXPECT_EQ(LineSpeed(pty_), 9600u);
  // A flow-control switch set to its current value does not.
  ASSERT_TRUE(port_.Device()->SetState(other));
  port_.FlowControl().SetXonXoffIn(true);
  EXPECT_EQ(LineSpeed(pty_), 300u);
  TVaFlowControl none;
  port_.SetFlowControl(none);
  EXPECT_FALSE(LineTermios(pty_).c_iflag & IXOFF);
}

TEST_F(CommPortTest, EveryBaudrateMemberReachesTheLineAtTheSpeedItsNameSays) {
  port_.Open();
  const auto names = BaudrateNames();
  for (size_t ordinal = 1; ordinal < names.size(); ++ordinal) {
    const std::string name = names[ordinal];  // "br" and the speed
    port_.SetBaudrate(static_cast<TVaBaudrate>(ordinal));
    EXPECT_EQ(LineSpeed(pty_), std::stoul(name.substr(2))) << name;
  }
}

TEST_F(CommPortTest, WithoutUpdateDcbTheDeviceKeepsItsOwnSettings) {
  // The line as another program left it.
  termios before = LineTermios(pty_);
  ASSERT_EQ(::cfsetspeed(&before, B4800), 0);
  ASSERT_EQ(::tcsetattr(pty_.MasterFd(), TCSANOW, &before), 0);
  port_.SetUpdateDCB(false);
  port_.SetBaudrate(br115200);
  port_.Open();
  EXPECT_EQ(LineSpeed(pty_), 4800u) << "Open must leave the device's settings alone";
  port_.SetBaudrate(br19200);
  EXPECT_EQ(LineSpeed(pty_), 4800u);
  EXPECT_EQ(port_.Baudrate(), br19200);
  // Still a working port.
  EXPECT_TRUE(port_.WriteText("ok"));
  EXPECT_EQ(Received(2), "ok");
}

TEST_F(CommPortTest, UserBaudrateAndBaudrateFollowEachOther) {
  port_.Open();
  port_.SetUserBaudrate(250000);
  EXPECT_EQ(port_.Baudrate(), brUser);
  EXPECT_EQ(LineSpeed(pty_), 250000u);
  port_.SetBaudrate(br19200);
  EXPECT_EQ(port_.UserBaudrate(), 0);
  EXPECT_EQ(LineSpeed(pty_), 19200u);
  // Back to a user speed; choosing brUser itself keeps the user speed.
  port_.SetUserBaudrate(31250);
  port_.SetBaudrate(brUser);
  EXPECT_EQ(port_.UserBaudrate(), 31250);
  EXPECT_EQ(LineSpeed(pty_), 31250u);
}

TEST_F(CommPortTest, ClosedPortWritesNothingAndReadsNothing) {
  EXPECT_FALSE(port_.WriteText("lost?"));
  EXPECT_TRUE(port_.WriteText(""));
  EXPECT_EQ(port_.ReadText(), "");
  char buf[4];
  EXPECT_EQ(port_.ReadBuf(buf, 4), 0);
  EXPECT_EQ(port_.InQueCount(), 0);
  TVaCommStatus status;
  status.Errors = 7;
  port_.GetStatus(status);
  EXPECT_EQ(status.Errors, 0u);
  EXPECT_EQ(status.ComStat.cbInQue, 0u);
  EXPECT_FALSE(port_.CheckErrors());
  EXPECT_TRUE(Received(1, 100).empty());
}

TEST_F(CommPortTest, OnOpenHandlerThatRaisesIsReportedAndThePortStaysOpen) {
  port_.OnOpen = [](tk::TObject*) { throw tk::Exception("handler failed"); };
  EXPECT_NO_THROW(port_.Open());
  EXPECT_TRUE(port_.Active());
  ASSERT_EQ(reported_.size(), 1u);
  EXPECT_EQ(reported_[0], "handler failed");
  EXPECT_TRUE(port_.WriteText("z"));
  EXPECT_EQ(Received(1), "z");
}

TEST_F(CommPortTest, DestroyingAnOpenPortReleasesItWithoutOnClose) {
  int closes = 0;
  {
    TVaComm doomed;
    doomed.SetDeviceName(pty_.SlavePath());
    doomed.SetMonitorEvents(TVaCommEvents{ceRxFlag});
    doomed.OnClose = [&](tk::TObject*) { ++closes; };
    doomed.Open();
    EXPECT_TRUE(doomed.WriteText("bye"));
    Send("late line\n");  // a hand-off may be queued when it goes
  }
  EXPECT_EQ(closes, 0);
  loop_.RunUntil([] { return false; }, 50);  // queued hand-offs must find nothing
  EXPECT_NO_THROW(port_.Open());
}

TEST_F(CommPortTest, DeviceNamesTakeThePortNumber) {
  port_.SetDeviceName("COM%d");
  port_.SetPortNum(3);
  EXPECT_EQ(port_.DeviceTitle(), "COM3");
  EXPECT_EQ(port_.DevicePath(), "/dev/ttyS2");
  port_.SetDeviceName("COM5");
  port_.SetPortNum(0);
  EXPECT_EQ(port_.DeviceTitle(), "COM5");
  EXPECT_EQ(port_.DevicePath(), "/dev/ttyS4");
  port_.SetDeviceName("ttyUSB%d");
  port_.SetPortNum(1);
  EXPECT_EQ(port_.DevicePath(), "/dev/ttyUSB1");
  // The initial name, written for Windows, still names COMn.
  TVaComm fresh;
  EXPECT_EQ(fresh.DeviceName(), "\\\\.\\COM%d");
  fresh.SetPortNum(1);
  EXPECT_EQ(fresh.DeviceTitle(), "\\\\.\\COM1");
  EXPECT_EQ(fresh.DevicePath(), "/dev/ttyS0");
  // Only %d takes the number; other % sequences stay as they are.
  fresh.SetDeviceName("/dev/odd%s%%name");
  EXPECT_EQ(fresh.DevicePath(), "/dev/odd%s%name");
}

}  // namespace
}  // namespace comm::test
