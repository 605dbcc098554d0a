// Every failure message of the comm port object that a pseudo-terminal or a
// missing device can provoke, and that a failed open leaves nothing behind.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "comm_port_test_support.h"
#include "platform/system_error.h"

namespace comm::test {
namespace {

std::string Expected(const std::string& fmt, int code) {
  return FillFormat(fmt, code, CleanSystemText(platform::SystemErrorText(code)));
}

// Another process holding a device as this program does (an exclusive
// advisory lock), until destroyed.
class OtherProcessHolding {
 public:
  explicit OtherProcessHolding(const std::string& path) {
    int fds[2];
    if (::pipe(fds) != 0) return;
    pid_ = ::fork();
    if (pid_ == 0) {
      // Its own process group, so the shell and sleep that flock starts go
      // with it and keep no output pipe of the test runner open.
      ::setpgid(0, 0);
      ::dup2(fds[1], STDOUT_FILENO);
      ::close(fds[0]);
      ::execlp("flock", "flock", "-x", "-n", path.c_str(), "-c", "echo locked; exec sleep 30",
               static_cast<char*>(nullptr));
      ::_exit(127);
    }
    if (pid_ > 0) ::setpgid(pid_, pid_);  // either side may get there first
    ::close(fds[1]);
    char buf[16] = {};
    holding_ = pid_ > 0 && ::read(fds[0], buf, sizeof buf - 1) > 0 &&
               std::string(buf).rfind("locked", 0) == 0;
    ::close(fds[0]);
  }
  ~OtherProcessHolding() {
    if (pid_ <= 0) return;
    ::kill(-pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
  }
  bool holding() const { return holding_; }

 private:
  pid_t pid_ = -1;
  bool holding_ = false;
};

TEST_F(CommPortTest, MissingDeviceIsNamedInTheNotFoundMessage) {
  port_.SetDeviceName("/dev/quarnel-no-such-port");
  int code = 0;
  EXPECT_EQ(CommErrorOf([&] { port_.Open(); }, &code),
            "Specified device not found (/dev/quarnel-no-such-port).");
  EXPECT_EQ(code, ENOENT) << "the exception keeps the system error number";
  EXPECT_FALSE(port_.Active());
  EXPECT_EQ(opened_, 0);
  EXPECT_EQ(closed_, 0);

  // COMn: the message names the device as configured, not its Linux path.
  port_.SetDeviceName("COM%d");
  port_.SetPortNum(200);
  ASSERT_FALSE(std::filesystem::exists(port_.DevicePath()));
  EXPECT_EQ(CommErrorOf([&] { port_.Open(); }), "Specified device not found (COM200).");

  // A percent sign in the name is text, not a placeholder.
  port_.SetDeviceName("/dev/no%such%s");
  EXPECT_EQ(CommErrorOf([&] { port_.Open(); }), "Specified device not found (/dev/no%such%s).");
}

TEST_F(CommPortTest, PortHeldByAnotherProcessCannotBeOpenedAndIsNeverWritten) {
  OtherProcessHolding other(pty_.SlavePath());
  ASSERT_TRUE(other.holding());
  int code = 0;
  EXPECT_EQ(CommErrorOf([&] { port_.Open(); }, &code),
            Expected("Can't open specified device " + pty_.SlavePath() + " (Error %d, %s)", EBUSY));
  EXPECT_EQ(code, EBUSY);
  EXPECT_FALSE(port_.Active());
  EXPECT_FALSE(port_.WriteText("must not arrive"));
  port_.SetDirectWrite(true);
  EXPECT_FALSE(port_.WriteText("must not arrive"));
  EXPECT_TRUE(Received(1, 100).empty());
}

TEST_F(CommPortTest, PortHeldByAnotherObjectCannotBeOpened) {
  port_.Open();
  TVaComm second;
  second.SetDeviceName(pty_.SlavePath());
  EXPECT_EQ(CommErrorOf([&] { second.Open(); }),
            Expected("Can't open specified device " + pty_.SlavePath() + " (Error %d, %s)", EBUSY));
  EXPECT_FALSE(second.WriteText("x"));
  EXPECT_TRUE(port_.WriteText("y"));
  EXPECT_EQ(Received(1), "y");
}

TEST_F(CommPortTest, SomethingThatIsNoSerialPortIsRefusedPlainly) {
  const std::string path = ::testing::TempDir() + "quarnel-not-a-port";
  std::ofstream(path) << "plain file";
  for (const std::string& name : {path, std::string("/dev/ptmx")}) {
    port_.SetDeviceName(name);
    int code = 0;
    EXPECT_EQ(CommErrorOf([&] { port_.Open(); }, &code),
              "Can't open specified device " + name + ": it is not a serial port.");
    EXPECT_EQ(code, ENOTTY);
    EXPECT_FALSE(port_.Active());
  }
  std::filesystem::remove(path);
}

TEST_F(CommPortTest, RefusedLineSettingsFailTheOpenAndReleaseTheDevice) {
  // A pseudo-terminal carries 8 data bits only.
  port_.SetDatabits(db7);
  EXPECT_EQ(CommErrorOf([&] { port_.Open(); }), Expected("Error writing dcb (%d), %s", EINVAL));
  EXPECT_FALSE(port_.Active());
  EXPECT_EQ(opened_, 0);
  EXPECT_EQ(closed_, 0) << "a failed open is no close";
  port_.SetDatabits(db8);
  EXPECT_NO_THROW(port_.Open());

  // While open the refusal reaches the caller; the port stays open.
  EXPECT_EQ(CommErrorOf([&] { port_.SetStopbits(sb15); }),
            Expected("Error writing dcb (%d), %s", EINVAL));
  EXPECT_TRUE(port_.Active());
  EXPECT_EQ(port_.Stopbits(), sb15);
}

TEST_F(CommPortTest, ZeroUserSpeedIsPassedOnAndRefusedByTheDevice) {
  port_.SetBaudrate(brUser);
  EXPECT_EQ(CommErrorOf([&] { port_.Open(); }), Expected("Error writing dcb (%d), %s", EINVAL));
  EXPECT_FALSE(port_.Active());
}

TEST_F(CommPortTest, ZeroReceiveQueueFailsTheOpen) {
  port_.Buffers().SetReadSize(0);
  EXPECT_EQ(CommErrorOf([&] { port_.Open(); }),
            Expected("Error initializing buffers (%d), %s", EINVAL));
  EXPECT_FALSE(port_.Active());
  port_.Buffers().SetReadSize(16);
  EXPECT_NO_THROW(port_.Open());
}

TEST_F(CommPortTest, OversizedWriteReportsAFullOutputBuffer) {
  port_.Buffers().SetWriteSize(2048);
  port_.Buffers().SetWriteTimeout(50);
  port_.Open();
  EXPECT_EQ(CommErrorOf([&] { port_.WriteText(std::string(3000, 'x')); }),
            "Output buffer is full. Please check comm status.");
  EXPECT_TRUE(Received(1, 100).empty()) << "a refused block is not sent in part";
  EXPECT_TRUE(port_.WriteText("fits"));
  EXPECT_EQ(Received(4), "fits");
}

TEST_F(CommPortTest, HungUpDeviceReportsReadStatusAndWriteErrors) {
  port_.SetDirectWrite(true);
  port_.Open();
  pty_.CloseMaster();
  EXPECT_EQ(CommErrorOf([&] { port_.ReadText(); }),
            Expected("Error retrieving statistics (%d), %s", EIO));
  char buf[4];
  EXPECT_EQ(CommErrorOf([&] { port_.ReadBuf(buf, 4); }), Expected("Read error (%d), %s", EIO));
  int code = 0;
  EXPECT_EQ(CommErrorOf([&] { port_.WriteText("x"); }, &code),
            "Device " + pty_.SlavePath() + " is gone: the adapter may have been unplugged.");
  EXPECT_EQ(code, EIO);
  // Closing a port whose device is gone works, and fires OnClose.
  EXPECT_NO_THROW(port_.Close());
  EXPECT_EQ(closed_, 1);
}

}  // namespace
}  // namespace comm::test
