#include <gtest/gtest.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>

#include "comm/VaComm.h"
#include "platform/port_list.h"
#include "platform/pseudo_terminal.h"
#include "ui/open_failure_hint.h"
#include "window_fixture.h"

namespace quarnel {
namespace {

using testing::WindowTest;

// Everything the far end of the pseudo-terminal receives within `ms`, until
// `expected` characters have come.
std::string ReadFromFarEnd(int fd, size_t expected, int ms) {
  std::string text;
  for (int waited = 0; text.size() < expected && waited < ms; waited += 10) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, 10) <= 0) continue;
    char buf[256];
    const ssize_t n = ::read(fd, buf, sizeof buf);
    if (n > 0) text.append(buf, static_cast<size_t>(n));
  }
  return text;
}

class Connection : public WindowTest {
 protected:
  Connection() : image(Image(std::vector<uint8_t>(48, 0x5A))) {}

  void ChoosePort(const std::string& name) { form->CCommPort.SetText(name); }
  // The click as the window runs it: an escaping error goes to the report.
  void ClickGuarded(tk::TControl& control) {
    tk::RunGuarded([&] { control.Click(); });
  }

  // The window with its own serial port instead of the fake one, connected
  // to the pseudo-terminal.
  void ConnectOwnPort() {
    TForm1::Environment env;
    env.list_ports = [] { return std::vector<std::string>{}; };
    env.clock_text = [] { return std::string("10:00:00"); };
    form = std::make_unique<TForm1>(std::move(env));
    dialogs.chosen_file = image;
    ChoosePort(pty.SlavePath());
    form->connect.Click();
    ASSERT_TRUE(form->VaComm->Active());
  }
  void WriteFromFarEnd(const std::string& text) {
    ASSERT_EQ(::write(pty.MasterFd(), text.data(), text.size()), static_cast<ssize_t>(text.size()));
  }

  platform::PseudoTerminal pty;
  std::string image;
};

TEST_F(Connection, ConnectOpensAsksForTheFileAndStartsCapture) {
  dialogs.chosen_file = image;
  form->CBaudRate.SetText("9600");  // never consulted
  ChoosePort(pty.SlavePath());
  form->connect.Click();

  EXPECT_TRUE(form->VaComm->Active());
  EXPECT_EQ(form->VaComm->DeviceName(), pty.SlavePath());
  EXPECT_EQ(form->VaComm->Baudrate(), comm::br115200);
  EXPECT_EQ(form->VaComm->Databits(), comm::db8);
  EXPECT_EQ(form->VaComm->Parity(), comm::paNone);
  EXPECT_EQ(form->VaComm->Stopbits(), comm::sb1);
  EXPECT_EQ(Status(),
            (std::vector<std::string>{"Program Ready", "Port " + pty.SlavePath() + " open", image,
                                      "Start Capture"}));
  EXPECT_EQ(dialogs.dialogs_shown, 1);
  EXPECT_EQ(form->connect.Caption(), "Disconnect");
  EXPECT_TRUE(form->LSCProgramTimer.Enabled());
  EXPECT_EQ(form->LSCProgramTimer.Interval(), 1500u);
  EXPECT_EQ(port.writes, std::vector<std::string>{":00010103FB\r\n"});
  EXPECT_TRUE(form->Timer1.Enabled());
  EXPECT_TRUE(form->BStopCapture.Enabled());
}

// Disconnect stops whatever writes to the port: a capture left running would
// capture the unit on the next Connect while the file dialog is still open,
// before any image was chosen.
TEST_F(Connection, DisconnectStopsTheCaptureAndEveryTimerThatWrites) {
  dialogs.chosen_file = image;
  ChoosePort(pty.SlavePath());
  form->connect.Click();
  form->connect.Click();
  EXPECT_EQ(Status().back(), "Comm Port Closed");
  EXPECT_EQ(form->connect.Caption(), "Connect");
  EXPECT_FALSE(form->LSCProgramTimer.Enabled());
  EXPECT_FALSE(form->Timer1.Enabled());
  EXPECT_FALSE(form->VaComm->Active());
  EXPECT_FALSE(form->BStopCapture.Enabled()) << "there is no capture to stop";
  EXPECT_TRUE(dialogs.messages.empty());
  const size_t writes = port.writes.size();
  loop.AdvanceBy(5000);
  EXPECT_EQ(port.writes.size(), writes);

  // Connect again: nothing goes out while the operator chooses the image.
  size_t writes_while_choosing = 0;
  dialogs.while_dialog_open = [&] {
    loop.AdvanceBy(3000);
    writes_while_choosing = port.writes.size() - writes;
  };
  form->connect.Click();
  EXPECT_EQ(writes_while_choosing, 0u);
  EXPECT_TRUE(form->VaComm->Active());
  EXPECT_EQ(form->connect.Caption(), "Disconnect");
  EXPECT_EQ(port.writes.size(), writes + 1) << "the capture starts after the dialog";
}

TEST_F(Connection, DisconnectDuringAnEraseOrARunLeavesNothingWriting) {
  dialogs.chosen_file = image;
  ChoosePort(pty.SlavePath());
  for (auto start : {&TForm1::BEraseClick, &TForm1::BPicProgramClick}) {
    form->connect.Click();
    Answer(3, 0x4000);
    (form.get()->*start)(nullptr);
    form->connect.Click();
    const size_t writes = port.writes.size();
    loop.AdvanceBy(30000);
    EXPECT_EQ(port.writes.size(), writes);
    EXPECT_FALSE(Logged("ERROR - No response to ERASE command"));
    EXPECT_FALSE(Logged("FAILED - Comms Timeout Error"));
  }
}

// After Disconnect the target operations have no port to work on, whatever
// the last status word said, until the target answers on a new connection.
TEST_F(Connection, WithoutAPortTheTargetOperationsAreNotOffered) {
  ConnectOwnPort();
  WriteFromFarEnd(testing::ResponseRecord(form->Link.SequenceNumber, 3, 0x4000));
  ASSERT_TRUE(loop.RunUntil([&] { return form->BErase.Enabled(); }, 5000));
  form->connect.Click();
  for (tk::TButton* button : {&form->BErase, &form->BEraseEE, &form->BErasePRG, &form->BPicProgram,
                              &form->BStopCapture}) {
    EXPECT_FALSE(button->Enabled()) << button->Caption();
  }
  // Choosing a file again applies the enabling rule to the old status word.
  form->BPicSourceClick();
  EXPECT_FALSE(form->BErase.Enabled());
  EXPECT_FALSE(form->BPicProgram.Enabled());
}

TEST_F(Connection, ErrorWhileClosingIsShownWithItsClass) {
  dialogs.chosen_file = image;
  ChoosePort(pty.SlavePath());
  form->connect.Click();
  form->VaComm->OnClose = [](tk::TObject*) { throw comm::EVaCommError("no way out"); };
  ClickGuarded(form->connect);
  EXPECT_EQ(dialogs.messages,
            std::vector<std::string>{"EVaCommError error raised, with message : no way out"});
  EXPECT_EQ(form->connect.Caption(), "Connect");
  EXPECT_FALSE(form->LSCProgramTimer.Enabled());
  EXPECT_FALSE(form->VaComm->Active());
}

TEST_F(Connection, FailedOpenIsReportedOnceAndChangesNothing) {
  ChoosePort("/dev/quarnel-no-such-port");
  form->ButChooseCC.SetEnabled(false);
  form->ButConnectProgram.SetEnabled(true);
  ClickGuarded(form->ButConnectProgram);

  ASSERT_EQ(dialogs.messages.size(), 1u);
  EXPECT_NE(dialogs.messages[0].find("not found"), std::string::npos) << dialogs.messages[0];
  EXPECT_EQ(form->connect.Caption(), "Connect");
  EXPECT_EQ(Status(), std::vector<std::string>{"Program Ready"});
  EXPECT_EQ(dialogs.dialogs_shown, 0);
  EXPECT_FALSE(form->LSCProgramTimer.Enabled());
  EXPECT_FALSE(form->Timer1.Enabled());
  EXPECT_TRUE(port.writes.empty());
  EXPECT_TRUE(form->ButConnectProgram.Enabled());  // for another try
  EXPECT_FALSE(form->VaComm->Active());
}

TEST_F(Connection, BusyPortSaysAnotherProgramHoldsIt) {
  comm::TVaComm holder;
  holder.SetDeviceName(pty.SlavePath());
  holder.Open();
  ChoosePort(pty.SlavePath());
  ClickGuarded(form->connect);
  ASSERT_EQ(dialogs.messages.size(), 1u);
  const std::string& message = dialogs.messages[0];
  EXPECT_NE(message.find("Can't open specified device"), std::string::npos) << message;
  EXPECT_NE(message.find("\nAnother program holds the port"), std::string::npos) << message;
  EXPECT_EQ(form->connect.Caption(), "Connect");
  holder.Close();
}

TEST_F(Connection, OnlyTheExactCaptionDisconnects) {
  form->connect.SetCaption("disconnect");
  ChoosePort("/dev/quarnel-no-such-port");
  ClickGuarded(form->connect);
  EXPECT_EQ(dialogs.messages.size(), 1u);  // it tried to open
  EXPECT_EQ(Status(), std::vector<std::string>{"Program Ready"});
}

TEST_F(Connection, CancelledFileDialogClosesTheWindow) {
  ChoosePort(pty.SlavePath());
  form->connect.Click();
  EXPECT_EQ(dialogs.dialogs_shown, 1);
  EXPECT_TRUE(form->Closed());
}

TEST(OpenFailureHint, NamesWhatToDo) {
  EXPECT_EQ(OpenFailureHint(EACCES),
            "Add your user to the group 'dialout' (sudo usermod -aG dialout $USER) and log in "
            "again.");
  EXPECT_EQ(OpenFailureHint(EBUSY),
            "Another program holds the port: close it, then connect again.");
  EXPECT_EQ(OpenFailureHint(ENOENT), "");
  EXPECT_EQ(OpenFailureHint(0), "");
}

TEST_F(WindowTest, PortListComesFromTheMachineWithoutAList) {
  TForm1::Environment env;
  env.port = &port;
  form = std::make_unique<TForm1>(std::move(env));
  std::vector<std::string> devices;
  for (const platform::PortEntry& entry : platform::ListSerialPorts())
    devices.push_back(entry.device);
  EXPECT_EQ(form->CCommPort.Items(), devices);
}

// The window's own port: records reach the wire and answers come back
// through the component's event-character notification.
TEST_F(Connection, OwnPortCarriesRecordsBothWays) {
  ConnectOwnPort();

  // The writer thread hands its transmit-empty notice to the main thread.
  std::string sent;
  ASSERT_TRUE(loop.RunUntil(
      [&] {
        sent += ReadFromFarEnd(pty.MasterFd(), 13, 10);
        return sent.size() >= 13;
      },
      5000));
  EXPECT_EQ(sent, ":00010103FB\r\n");

  // Only the line feed ends an answer.
  const std::string answer = testing::ResponseRecord(1, 3, 0x4000);
  WriteFromFarEnd(answer.substr(0, answer.size() - 1));
  EXPECT_FALSE(loop.RunUntil([&] { return form->LastResponseCode != 0; }, 300));
  WriteFromFarEnd("\n");
  ASSERT_TRUE(loop.RunUntil([&] { return form->LastResponseCode == 3; }, 5000));
  EXPECT_FALSE(form->Timer1.Enabled());
  EXPECT_TRUE(form->BErase.Enabled());
  form->connect.Click();
  EXPECT_FALSE(form->VaComm->Active());
}

// The line as the window sets it up, seen from the far end: raw, 8 data
// bits, no parity, one stop bit, no flow control of either kind.
TEST_F(Connection, TheLineIsRaw8N1WithoutFlowControl) {
  // The line as another program may have left it: everything the other way.
  termios left{};
  ASSERT_EQ(::tcgetattr(pty.MasterFd(), &left), 0);
  left.c_cflag = (left.c_cflag & ~CSIZE) | CS7 | PARENB | CSTOPB | CRTSCTS;
  left.c_iflag |= IXON | IXOFF | ICRNL;
  left.c_lflag |= ICANON | ECHO | ISIG;
  left.c_oflag |= OPOST;
  ASSERT_EQ(::tcsetattr(pty.MasterFd(), TCSANOW, &left), 0);

  ConnectOwnPort();
  termios line{};
  ASSERT_EQ(::tcgetattr(pty.MasterFd(), &line), 0);
  EXPECT_EQ(line.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
  EXPECT_FALSE(line.c_cflag & (PARENB | CSTOPB | CRTSCTS));
  EXPECT_FALSE(line.c_iflag & (IXON | IXOFF | ICRNL | INLCR));
  EXPECT_FALSE(line.c_lflag & (ICANON | ECHO | ISIG));
  EXPECT_FALSE(line.c_oflag & OPOST);
}

}  // namespace
}  // namespace quarnel
