// How the comm port object turns event masks into notifications, feeds its
// clients and display, and streams as the window definition describes it.
#include <string>
#include <vector>

#include "comm_port_test_support.h"
#include "platform/comm_records.h"
#include "toolkit/streaming.h"

namespace comm::test {
namespace {

class RecordingClient : public TVaCommClient {
 public:
  explicit RecordingClient(std::vector<std::string>& log, std::string name)
      : log_(log), name_(std::move(name)) {}
  void CommEvents(uint32_t mask) override {
    log_.push_back(name_ + " events " + std::to_string(mask));
  }
  void CommData(const uint8_t* data, int32_t count) override {
    log_.push_back(name_ + " data " +
                   std::string(reinterpret_cast<const char*>(data), static_cast<size_t>(count)));
  }

 private:
  std::vector<std::string>& log_;
  std::string name_;
};

class CountingDisplay : public TVaDisplay {
 public:
  using TVaDisplay::TVaDisplay;
  void UpdateDisplay(TVaCustomComm& comm) override {
    ++updates;
    last = &comm;
  }
  int updates = 0;
  TVaCustomComm* last = nullptr;
};

TEST_F(CommPortTest, HandleEventsFiresInItsFixedOrderOnlyForSetBits) {
  std::vector<std::string> order;
  auto note = [&](const char* name) {
    return [&order, name](tk::TObject*) { order.push_back(name); };
  };
  port_.OnRxFlag = note("RxFlag");
  port_.OnCts = note("Cts");
  port_.OnDsr = note("Dsr");
  port_.OnRing = note("Ring");
  port_.OnRlsd = note("Rlsd");
  port_.OnTxEmpty = note("TxEmpty");
  port_.OnBreak = note("Break");
  port_.OnPErr = note("PErr");
  port_.OnRx80Full = note("Rx80Full");
  port_.OnEvent1 = note("Event1");
  port_.OnEvent2 = note("Event2");
  RecordingClient client(order, "client");
  port_.AttachClient(client);

  port_.HandleEvents(0x1FFF);
  EXPECT_EQ(order,
            (std::vector<std::string>{"client events 8191", "RxFlag", "Cts", "Dsr", "Ring", "Rlsd",
                                      "TxEmpty", "Break", "PErr", "Rx80Full", "Event1", "Event2"}));
  order.clear();
  port_.HandleEvents(platform::kEvRxChar);  // handled by HandleRxChar, not here
  port_.HandleEvents(platform::kEvDsr | platform::kEvEvent2);
  EXPECT_EQ(order,
            (std::vector<std::string>{"client events 1", "client events 4112", "Dsr", "Event2"}));
  order.clear();
  client.SetEnabled(false);
  port_.OnCts = nullptr;
  port_.HandleEvents(platform::kEvCts | platform::kEvRing);
  EXPECT_EQ(order, (std::vector<std::string>{"Ring"}));
}

TEST(CommPortLifetimeTest, AHandlerThatDestroysThePortEndsTheNotifications) {
  auto port = std::make_unique<TVaComm>();
  int later = 0;
  port->OnRxFlag = [&](tk::TObject*) { port.reset(); };
  port->OnCts = [&](tk::TObject*) { ++later; };
  port->OnEvent2 = [&](tk::TObject*) { ++later; };
  port->HandleEvents(platform::kEvRxFlag | platform::kEvCts | platform::kEvEvent2);
  EXPECT_EQ(port, nullptr);
  EXPECT_EQ(later, 0);
}

TEST_F(CommPortTest, ErrorEventChecksTheDeviceAndReportsNothingWithoutFlags) {
  int errors = 0;
  port_.OnError = [&](tk::TObject*, int32_t) { ++errors; };
  port_.Open();
  port_.HandleEvents(platform::kEvErr);
  EXPECT_EQ(errors, 0) << "a clean line has no error flags";
  EXPECT_TRUE(reported_.empty());
}

TEST_F(CommPortTest, ReceivedCharactersGoToClientsAsABlockOrStayQueuedForOnRxChar) {
  int32_t announced = 0;
  port_.OnRxChar = [&](tk::TObject*, int32_t count) { announced = count; };
  port_.Open();
  Send("abc");
  ASSERT_TRUE(WaitForInQue(3));
  port_.HandleRxChar();
  EXPECT_EQ(announced, 3);
  EXPECT_EQ(port_.InQueCount(), 3) << "without clients the bytes stay for the handler";

  std::vector<std::string> log;
  RecordingClient first(log, "first");
  RecordingClient second(log, "second");
  port_.AttachClient(first);
  port_.AttachClient(second);
  std::string buffered;
  port_.OnRxBuf = [&](tk::TObject*, const uint8_t* data, int32_t count) {
    buffered.assign(reinterpret_cast<const char*>(data), static_cast<size_t>(count));
  };
  announced = 0;
  port_.HandleRxChar();
  EXPECT_EQ(log, (std::vector<std::string>{"first data abc", "second data abc"}));
  EXPECT_EQ(buffered, "abc");
  EXPECT_EQ(announced, 0);
  EXPECT_EQ(port_.InQueCount(), 0);
  log.clear();
  port_.HandleRxChar();  // nothing waiting: nothing told
  EXPECT_TRUE(log.empty());
}

TEST_F(CommPortTest, ClientsDetachByHandAndWhenEitherSideGoes) {
  std::vector<std::string> log;
  {
    RecordingClient shortlived(log, "short");
    port_.AttachClient(shortlived);
    EXPECT_EQ(shortlived.Comm(), &port_);
  }
  // A destroyed client must not stay attached (the sanitizers catch a call
  // into it).
  port_.HandleEvents(platform::kEvCts);
  EXPECT_TRUE(log.empty());

  RecordingClient client(log, "c");
  port_.AttachClient(client);
  port_.AttachClient(client);
  port_.HandleEvents(platform::kEvCts);
  EXPECT_EQ(log.size(), 1u) << "attached twice, told once";
  log.clear();
  port_.DetachClient(client);
  EXPECT_EQ(client.Comm(), nullptr);
  port_.DetachClient(client);  // not attached: nothing
  port_.HandleEvents(platform::kEvCts);
  EXPECT_TRUE(log.empty());

  {
    TVaComm other;
    other.AttachClient(client);
    EXPECT_EQ(client.Comm(), &other);
  }
  EXPECT_EQ(client.Comm(), nullptr) << "the port detaches its clients when it goes";
}

TEST_F(CommPortTest, DisplayIsUpdatedAndForgottenWhenItGoes) {
  tk::TComponent form;
  auto display = std::make_unique<CountingDisplay>(&form);
  port_.SetDisplay(display.get());
  port_.UpdateDisplay();
  EXPECT_EQ(display->updates, 1);
  EXPECT_EQ(display->last, &port_);
  display.reset();
  EXPECT_EQ(port_.Display(), nullptr);
  EXPECT_NO_THROW(port_.UpdateDisplay());

  // A port that goes first leaves nothing behind in the display.
  auto lasting = std::make_unique<CountingDisplay>(&form);
  {
    TVaComm brief;
    brief.SetDisplay(lasting.get());
  }
  EXPECT_NO_THROW(lasting.reset());
}

// The window definition of the main window's port.
const char* const kWindowDefinition = R"(object VaComm: TVaComm
  EventChars.XonChar = #0
  EventChars.XoffChar = #0
  EventChars.EventChar = #10
  EventChars.EofChar = #10
  FlowControl.OutCtsFlow = False
  FlowControl.OutDsrFlow = False
  FlowControl.ControlDtr = dtrDisabled
  FlowControl.ControlRts = rtsDisabled
  FlowControl.XonXoffOut = False
  FlowControl.XonXoffIn = False
  FlowControl.DsrSensitivity = False
  FlowControl.TxContinueOnXoff = False
  DeviceName = 'COM%d'
  MonitorEvents = [ceRxFlag]
  OnRxFlag = VaCommRxFlag
end
)";

TEST(CommStreamingTest, TheWindowDefinitionSetsThePortAndWritesBackTheSame) {
  TVaComm port;
  int rx_flags = 0;
  tk::ReadComponent(port, kWindowDefinition, [&](const std::string& name) -> tk::TNotifyEvent {
    if (name == "VaCommRxFlag") return [&](tk::TObject*) { ++rx_flags; };
    return {};
  });
  EXPECT_EQ(port.Name(), "VaComm");
  EXPECT_EQ(port.EventChars().EventChar(), '\n');
  EXPECT_EQ(port.EventChars().EofChar(), '\n');
  EXPECT_EQ(port.EventChars().XonChar(), 0);
  EXPECT_EQ(port.DeviceName(), "COM%d");
  EXPECT_EQ(port.MonitorEvents(), TVaCommEvents{ceRxFlag});
  EXPECT_FALSE(port.DirectWrite());
  EXPECT_FALSE(port.Active()) << "AutoOpen is off";
  port.HandleEvents(platform::kEvRxFlag);
  EXPECT_EQ(rx_flags, 1);

  // Written back: the defaults are left out, flow control and the device
  // name (no stored defaults) are always there.
  EXPECT_EQ(tk::WriteComponent(port), kWindowDefinition);
}

TEST(CommStreamingTest, AFreshPortWritesOnlyWhatHasNoStoredDefault) {
  TVaComm port;
  port.SetName("P");
  const std::string text = tk::WriteComponent(port);
  EXPECT_NE(text.find("DeviceName = '\\\\.\\COM%d'"), std::string::npos) << text;
  EXPECT_NE(text.find("FlowControl.ControlRts = rtsDisabled"), std::string::npos);
  EXPECT_EQ(text.find("Baudrate"), std::string::npos);
  EXPECT_EQ(text.find("Buffers."), std::string::npos);
  EXPECT_EQ(text.find("EventChars."), std::string::npos);
  EXPECT_EQ(text.find("MonitorEvents"), std::string::npos);
  EXPECT_EQ(text.find("Display"), std::string::npos);
}

TEST(CommStreamingTest, EveryPublishedValueSurvivesARoundTrip) {
  TVaComm source;
  source.SetName("P");
  source.SetBaudrate(br38400);
  source.SetParity(paMark);
  source.SetDatabits(db6);
  source.SetStopbits(sb15);
  source.SetOptions(TVaCommOptions{coNullStrip, coParityCheck});
  source.SetPortNum(4);
  source.SetDeviceName("it's %d");
  source.SetMonitorEvents(TVaCommEvents{ceBreak, ceEvent2});
  source.Buffers().SetReadSize(100);
  source.Buffers().SetWriteTimeout(7);
  source.SetEventPriority(tk::TThreadPriority::tpIdle);
  source.SetWritePriority(tk::TThreadPriority::tpTimeCritical);
  source.SetDirectWrite(true);
  source.SetUpdateDCB(false);
  source.SetUserBaudrate(-5);
  source.FlowControl().SetControlRts(rtsHandshake);
  source.EventChars().SetErrorChar('?');
  const std::string text = tk::WriteComponent(source);

  TVaComm copy;
  tk::ReadComponent(copy, text);
  EXPECT_EQ(tk::WriteComponent(copy), text);
  EXPECT_EQ(copy.Baudrate(), brUser);
  EXPECT_EQ(copy.UserBaudrate(), -5);
  EXPECT_EQ(copy.Options(), (TVaCommOptions{coNullStrip, coParityCheck}));
  EXPECT_EQ(copy.DeviceName(), "it's %d");
  EXPECT_EQ(copy.Buffers().ReadSize(), 100);
  EXPECT_EQ(copy.WritePriority(), tk::TThreadPriority::tpTimeCritical);
  EXPECT_EQ(copy.FlowControl().ControlRts(), rtsHandshake);
  EXPECT_EQ(copy.EventChars().ErrorChar(), '?');
}

TEST(CommStreamingTest, BadValuesAreRefused) {
  TVaComm port;
  EXPECT_THROW(tk::ReadComponent(port, "object P: TVaComm\n  Baudrate = br123\nend\n"),
               tk::Exception);
  EXPECT_THROW(tk::ReadComponent(port, "object P: TVaComm\n  PortNum = -1\nend\n"), tk::Exception);
  EXPECT_THROW(tk::ReadComponent(port, "object P: TVaComm\n  OnRxFlag = Nowhere\nend\n"),
               tk::Exception);
  EXPECT_THROW(tk::ReadComponent(port, "object P: TVaComm\n  Display = Nothing\nend\n"),
               tk::Exception);
}

TEST_F(CommPortTest, LoadingWithAutoOpenOpensThePort) {
  TVaComm port;
  tk::ReadComponent(port, "object P: TVaComm\n  AutoOpen = True\n  DeviceName = '" +
                              pty_.SlavePath() + "'\nend\n");
  EXPECT_TRUE(port.Active());
  port.Close();

  TVaComm designed;
  designed.SetDesigning(true);
  tk::ReadComponent(designed, "object P: TVaComm\n  AutoOpen = True\n  DeviceName = '" +
                                  pty_.SlavePath() + "'\nend\n");
  EXPECT_FALSE(designed.Active()) << "never opened in design mode";
}

}  // namespace
}  // namespace comm::test
