// Port settings: the notification rules of the settings objects, Assign in
// one update bracket, the enumerations' values and names, and the device
// control block, time-out record and event mask built from the settings.
#include <gtest/gtest.h>

#include "comm/VaDcb.h"
#include "comm/VaPrst.h"
#include "comm/VaSupport.h"
#include "comm/VaTypes.h"
#include "platform/comm_records.h"
#include "toolkit/exceptions.h"

namespace comm {
namespace {

template <class T>
struct Watched {
  Watched() {
    object.SetOnChange([this](TVaPersistent*) { ++changes; });
  }
  T object;
  int changes = 0;
};

TEST(VaBuffersTest, NotifiesOnlyForRealChangesOfNotifyingProperties) {
  Watched<TVaBuffers> b;
  EXPECT_EQ(b.object.ReadSize(), 4096);
  EXPECT_EQ(b.object.WriteSize(), 2048);
  EXPECT_EQ(b.object.ReadTimeout(), 1000);
  EXPECT_EQ(b.object.WriteTimeout(), 1000);
  EXPECT_EQ(b.object.XonLimit(), 1024);
  EXPECT_EQ(b.object.XoffLimit(), 1024);

  b.object.SetReadSize(4096);
  b.object.SetXonLimit(1024);
  EXPECT_EQ(b.changes, 0);
  b.object.SetReadSize(8192);
  b.object.SetWriteSize(100);
  b.object.SetXonLimit(1);
  b.object.SetXoffLimit(2);
  EXPECT_EQ(b.changes, 4);
  // The time-outs may change at any time, open or not: no notification.
  b.object.SetReadTimeout(5);
  b.object.SetWriteTimeout(6);
  EXPECT_EQ(b.changes, 4);
  EXPECT_EQ(b.object.ReadTimeout(), 5);
  EXPECT_EQ(b.object.WriteTimeout(), 6);
}

TEST(VaFlowControlTest, SameValueDoesNotNotifyNewValueDoes) {
  Watched<TVaFlowControl> f;
  f.object.SetOutCtsFlow(false);
  f.object.SetControlRts(rtsDisabled);
  EXPECT_EQ(f.changes, 0);
  f.object.SetOutCtsFlow(true);
  f.object.SetControlDtr(dtrHandshake);
  EXPECT_EQ(f.changes, 2);
}

TEST(VaEventCharsTest, EveryWriteNotifiesAndEachIndexKeepsItsOwnValue) {
  Watched<TVaEventChars> c;
  EXPECT_EQ(c.object.XonChar(), 17);
  EXPECT_EQ(c.object.XoffChar(), 19);
  EXPECT_EQ(c.object.ErrorChar(), 0);
  EXPECT_EQ(c.object.EventChar(), 0);
  EXPECT_EQ(c.object.EofChar(), 0);

  c.object.SetEventChar(0);  // unchanged, still reported
  EXPECT_EQ(c.changes, 1);
  c.object.SetEventChar('\n');
  c.object.SetEofChar('\r');
  c.object.SetErrorChar('?');
  EXPECT_EQ(c.changes, 4);
  EXPECT_EQ(c.object.EventChar(), '\n');
  EXPECT_EQ(c.object.EofChar(), '\r');
  EXPECT_EQ(c.object.ErrorChar(), '?');
  EXPECT_EQ(c.object.XonChar(), 17);
  // Indexes outside 1..5 neither store nor notify.
  c.object.SetChar(0, 'x');
  c.object.SetChar(6, 'x');
  EXPECT_EQ(c.changes, 4);
  EXPECT_EQ(c.object.Char(6), 0);
}

TEST(VaSettingsAssignTest, CopiesEverythingWithOneNotification) {
  TVaFlowControl source;
  source.SetOutCtsFlow(true);
  source.SetOutDsrFlow(true);
  source.SetControlDtr(dtrEnabled);
  source.SetControlRts(rtsToggle);
  source.SetXonXoffOut(true);
  source.SetXonXoffIn(true);
  source.SetDsrSensitivity(true);
  source.SetTxContinueOnXoff(true);
  Watched<TVaFlowControl> f;
  f.object.Assign(&source);
  EXPECT_EQ(f.changes, 1);
  EXPECT_TRUE(f.object.OutCtsFlow() && f.object.OutDsrFlow() && f.object.XonXoffOut() &&
              f.object.XonXoffIn() && f.object.DsrSensitivity() && f.object.TxContinueOnXoff());
  EXPECT_EQ(f.object.ControlDtr(), dtrEnabled);
  EXPECT_EQ(f.object.ControlRts(), rtsToggle);

  TVaBuffers buffers;
  buffers.SetReadSize(1);
  buffers.SetWriteSize(2);
  buffers.SetReadTimeout(3);
  buffers.SetWriteTimeout(4);
  buffers.SetXonLimit(5);
  buffers.SetXoffLimit(6);
  Watched<TVaBuffers> b;
  b.object.Assign(&buffers);
  EXPECT_EQ(b.changes, 1);
  EXPECT_EQ(b.object.ReadSize(), 1);
  EXPECT_EQ(b.object.WriteSize(), 2);
  EXPECT_EQ(b.object.ReadTimeout(), 3);
  EXPECT_EQ(b.object.WriteTimeout(), 4);
  EXPECT_EQ(b.object.XonLimit(), 5);
  EXPECT_EQ(b.object.XoffLimit(), 6);

  TVaEventChars chars;
  chars.SetEventChar('\n');
  chars.SetXonChar(0);
  Watched<TVaEventChars> c;
  c.object.Assign(&chars);
  EXPECT_EQ(c.changes, 1);
  EXPECT_EQ(c.object.EventChar(), '\n');
  EXPECT_EQ(c.object.XonChar(), 0);
}

TEST(VaSettingsAssignTest, OtherClassOrNoneIsRefusedAndChangesNothing) {
  Watched<TVaBuffers> b;
  TVaEventChars chars;
  EXPECT_THROW(b.object.Assign(&chars), tk::EConvertError);
  EXPECT_THROW(b.object.Assign(nullptr), tk::EConvertError);
  EXPECT_EQ(b.changes, 0);
  EXPECT_EQ(b.object.UpdateCount(), 0);
  EXPECT_EQ(b.object.ReadSize(), 4096);
}

TEST(VaSettingsAssignTest, BracketIsClosedWhenTheOwnerRefusesTheChange) {
  TVaBuffers source;
  source.SetReadSize(1);
  TVaBuffers b;
  b.SetOnChange([](TVaPersistent*) { throw EVaCommError("refused"); });
  EXPECT_THROW(b.Assign(&source), EVaCommError);
  EXPECT_EQ(b.UpdateCount(), 0);
  EXPECT_EQ(b.ReadSize(), 1) << "the value stays stored";
}

TEST(VaTypesTest, EventSetsOfThePortAndTheWindowAsSetValues) {
  EXPECT_EQ((TVaCommEvents{ceError, ceRxChar, ceTxEmpty}.ToBits()), 200);
  EXPECT_EQ(TVaCommEvents{ceRxFlag}.ToBits(), 256);
}

TEST(VaTypesTest, NamesAndSetsReadBackAsWritten) {
  EXPECT_EQ(EnumToText(BaudrateNames(), br115200), "br115200");
  EXPECT_EQ(TextToEnum<TVaBaudrate>(BaudrateNames(), "BR9600"), br9600);
  EXPECT_EQ(TextToEnum<TVaControlRts>(ControlRtsNames(), "rtsToggle"), rtsToggle);
  EXPECT_THROW(TextToEnum<TVaParity>(ParityNames(), "paSometimes"), tk::EConvertError);
  EXPECT_EQ(BitsToSetText(CommEventNames(), 200), "[ceError, ceRxChar, ceTxEmpty]");
  EXPECT_EQ(BitsToSetText(CommOptionNames(), 0), "[]");
  EXPECT_EQ(SetTextToBits(CommEventNames(), "[ceRxFlag]"), 256u);
  EXPECT_EQ(SetTextToBits(CommEventNames(), " [ ceRxChar ,ceError] "), 72u);
  EXPECT_EQ(SetTextToBits(CommEventNames(), "[]"), 0u);
  EXPECT_THROW(SetTextToBits(CommEventNames(), "ceRxFlag"), tk::EConvertError);
  EXPECT_THROW(SetTextToBits(CommEventNames(), "[ceRxFlag, ceNothing]"), tk::EConvertError);
  EXPECT_EQ(TextToInt("2147483647", 0, 2147483647), 2147483647);
  EXPECT_THROW(TextToInt("-1", 0, 2147483647), tk::EConvertError);
  EXPECT_THROW(TextToInt("12x", 0, 100), tk::EConvertError);
}

struct Settings {
  TVaLineSettings line;
  TVaFlowControl flow;
  TVaEventChars chars;
  TVaBuffers buffers;
  platform::Dcb Build() const { return BuildDcb(line, flow, chars, buffers); }
};

TEST(DcbTest, AFreshPortApplies1200Baud8N1WithXonXoffCharacters) {
  const platform::Dcb dcb = Settings().Build();
  EXPECT_EQ(dcb.BaudRate, 1200u);
  EXPECT_EQ(dcb.ByteSize, 8);
  EXPECT_EQ(dcb.Parity, platform::kParityNone);
  EXPECT_EQ(dcb.StopBits, platform::kStopBitsOne);
  EXPECT_EQ(dcb.XonChar, 17);
  EXPECT_EQ(dcb.XoffChar, 19);
  EXPECT_EQ(dcb.ErrorChar, 0);
  EXPECT_EQ(dcb.EofChar, 0);
  EXPECT_EQ(dcb.EvtChar, 0);
  EXPECT_EQ(dcb.Flags, platform::kFBinary);
  EXPECT_EQ(dcb.XonLim, 1024);
  EXPECT_EQ(dcb.XoffLim, 1024);
}

TEST(DcbTest, TheMainWindowsSettings) {
  Settings s;
  s.line.Baudrate = br115200;
  s.chars.SetEventChar(10);
  s.chars.SetEofChar(10);
  s.chars.SetXonChar(0);
  s.chars.SetXoffChar(0);
  const platform::Dcb dcb = s.Build();
  EXPECT_EQ(dcb.BaudRate, 115200u);
  EXPECT_EQ(dcb.Flags, 0x0001u);
  EXPECT_EQ(dcb.ByteSize, 8);
  EXPECT_EQ(dcb.Parity, 0);
  EXPECT_EQ(dcb.StopBits, 0);
  EXPECT_EQ(dcb.XonLim, 1024);
  EXPECT_EQ(dcb.XoffLim, 1024);
  EXPECT_EQ(dcb.XonChar, 0);
  EXPECT_EQ(dcb.XoffChar, 0);
  EXPECT_EQ(dcb.ErrorChar, 0);
  EXPECT_EQ(dcb.EofChar, 10);
  EXPECT_EQ(dcb.EvtChar, 10);
}

TEST(DcbTest, OptionsAndLineControlFlags) {
  Settings s;
  s.line.Options = TVaCommOptions{coParityCheck, coErrorChar};
  s.flow.SetControlRts(rtsToggle);
  s.flow.SetControlDtr(dtrHandshake);
  EXPECT_EQ(s.Build().Flags, 0x3423u);

  Settings each;
  each.flow.SetOutCtsFlow(true);
  EXPECT_EQ(each.Build().Flags, 0x0005u);
  each.flow.SetOutDsrFlow(true);
  each.flow.SetXonXoffOut(true);
  each.flow.SetXonXoffIn(true);
  each.flow.SetDsrSensitivity(true);
  each.flow.SetTxContinueOnXoff(true);
  each.flow.SetControlDtr(dtrEnabled);
  each.flow.SetControlRts(rtsHandshake);
  each.line.Options = TVaCommOptions{coNullStrip};
  EXPECT_EQ(each.Build().Flags, 0x0001u | 0x0004 | 0x0008 | 0x0100 | 0x0200 | 0x0040 | 0x0080 |
                                    0x0010 | 0x2000 | 0x0800);
}

TEST(DcbTest, LineValuesLimitsAndUserSpeed) {
  Settings s;
  s.buffers.SetXonLimit(70000);
  s.buffers.SetXoffLimit(65536);
  s.line.Baudrate = brUser;
  s.line.UserBaudrate = 0;
  s.line.Parity = paSpace;
  s.line.Databits = db5;
  s.line.Stopbits = sb2;
  platform::Dcb dcb = s.Build();
  EXPECT_EQ(dcb.XonLim, 4464);
  EXPECT_EQ(dcb.XoffLim, 0);
  EXPECT_EQ(dcb.BaudRate, 0u) << "passed on unchecked";
  EXPECT_EQ(dcb.Parity, platform::kParitySpace);
  EXPECT_EQ(dcb.ByteSize, 5);
  EXPECT_EQ(dcb.StopBits, platform::kStopBitsTwo);
  s.line.UserBaudrate = 250000;
  s.line.Databits = db4;
  s.line.Stopbits = sb15;
  dcb = s.Build();
  EXPECT_EQ(dcb.BaudRate, 250000u);
  EXPECT_EQ(dcb.ByteSize, 4);
  EXPECT_EQ(dcb.StopBits, platform::kStopBitsOneAndHalf);
}

TEST(TimeoutsTest, ReadsReturnAtOnceAndWritesHaveNoTotalLimit) {
  const platform::CommTimeouts t = BuildTimeouts();
  EXPECT_EQ(t.ReadIntervalTimeout, 0xFFFFFFFFu);
  EXPECT_EQ(t.ReadTotalTimeoutMultiplier, 0u);
  EXPECT_EQ(t.ReadTotalTimeoutConstant, 0u);
  EXPECT_EQ(t.WriteTotalTimeoutMultiplier, 0u);
  EXPECT_EQ(t.WriteTotalTimeoutConstant, 0u);
}

TEST(EventMaskTest, MonitoredEventsMapToDeviceBitsAndTheWriterOwnsTxEmpty) {
  const TVaCommEvents initial{ceError, ceRxChar, ceTxEmpty};
  EXPECT_EQ(BuildEventMask(initial, true), 0x0080u | 0x0001 | 0x0004);
  EXPECT_EQ(BuildEventMask(initial, false), 0x0080u | 0x0001);
  EXPECT_EQ(BuildEventMask(TVaCommEvents{ceTxEmpty}, false), 0u);
  EXPECT_EQ(BuildEventMask(TVaCommEvents{ceRxFlag}, false), 0x0002u);
  EXPECT_EQ(BuildEventMask(TVaCommEvents::FromBits(0x1FFF), true), 0x1FFFu);
  EXPECT_EQ(BuildEventMask(TVaCommEvents{}, true), 0u);
}

}  // namespace
}  // namespace comm
