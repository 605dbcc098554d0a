#include <gtest/gtest.h>

#include "window_fixture.h"

namespace quarnel {
namespace {

using testing::CountingBytes;
using testing::PayloadOf;
using testing::WindowTest;

class GuidedFlow : public WindowTest {
 protected:
  GuidedFlow() : image(Image(CountingBytes(30))) { form->SourceFileName = image; }

  // The command code of the record written last (characters 7-8).
  int LastCommand() const { return HexToInt(port.writes.back().substr(7, 2)); }
  // Runs one tick of the guided timer with `code` waiting.
  void Tick(int32_t code) {
    form->LastResponseCode = code;
    form->LSCProgramTimerTimer(&form->LSCProgramTimer);
  }

  std::string image;
};

TEST_F(GuidedFlow, ChooseComportRefillsAndDropsDownTheList) {
  form->CCommPort.SetEnabled(false);
  ports = {"ttyUSB0", "ttyS0", "ttyACM1"};
  form->ButChooseCC.Click();
  const tk::TComboBox& list = form->CCommPort;
  EXPECT_EQ(list.Items(), ports);
  EXPECT_EQ(list.ItemIndex(), -1);
  EXPECT_EQ(list.Text(), "");
  EXPECT_TRUE(list.Showing());
  EXPECT_TRUE(list.Enabled());
  EXPECT_TRUE(list.AutoDropDown());
  EXPECT_TRUE(list.DroppedDown());
  EXPECT_TRUE(form->ButChooseCC.Enabled());
}

TEST_F(GuidedFlow, PickingAPortMakesConnectTheNextStep) {
  form->ButChooseCC.Click();
  form->CCommPort.Pick(1);
  EXPECT_EQ(form->CCommPort.Text(), "COM1");
  EXPECT_FALSE(form->ButChooseCC.Enabled());
  EXPECT_FALSE(form->CCommPort.Enabled());
  EXPECT_TRUE(form->ButConnectProgram.Enabled());
  // The list stays in view beside its button across layout switches.
  PressF12();
  PressF12();
  EXPECT_TRUE(form->CCommPort.Visible());
  EXPECT_EQ(form->CCommPort.Parent(), &form->Panel_user);
}

TEST_F(GuidedFlow, EraseChainInTheTimersOrder) {
  Tick(3);
  EXPECT_FALSE(form->connect.Enabled());
  EXPECT_EQ(LastCommand(), 6);
  EXPECT_EQ(Status().back(), "Erase Target");
  EXPECT_EQ(form->LastResponseCode, 0);

  form->connect.SetEnabled(true);
  Tick(6);
  EXPECT_EQ(LastCommand(), 8);
  EXPECT_EQ(Status().back(), "Erase Data ");
  EXPECT_EQ(form->LastResponseCode, 0);
  EXPECT_TRUE(form->connect.Enabled());  // only code 3 disables it

  Tick(8);
  EXPECT_EQ(LastCommand(), 7);
  EXPECT_EQ(Status().back(), "Erase Program");
  EXPECT_EQ(form->LastResponseCode, 0);

  Tick(7);
  EXPECT_EQ(Status()[Status().size() - 2], "Program PIC");
  EXPECT_EQ(Status().back(), "Programming from " + image);
  EXPECT_EQ(port.writes.back()[0], '*');
  EXPECT_EQ(form->LastResponseCode, 0);
}

// The image is read whole before the first erase, and the run sends those
// bytes, whatever happens to the file while the unit is erased.
TEST_F(GuidedFlow, TheRunSendsTheImageReadBeforeTheFirstErase) {
  const auto bytes = CountingBytes(30);
  Tick(3);
  ASSERT_EQ(LastCommand(), 6);
  testsupport::WriteBytes(image, std::vector<uint8_t>(24, 0xEE));
  Tick(6);
  Tick(8);
  Tick(7);
  Answer(4, 0x4000);
  ASSERT_EQ(port.writes.size(), 5u);
  std::vector<uint8_t> sent = PayloadOf(port.writes[3]);
  const auto second = PayloadOf(port.writes[4]);
  sent.insert(sent.end(), second.begin(), second.end());
  sent.resize(bytes.size());
  EXPECT_EQ(sent, bytes);
}

TEST_F(GuidedFlow, ResetRepeatsUntilAnswered) {
  Tick(99);
  EXPECT_EQ(LastCommand(), 9);
  EXPECT_EQ(Status().back(), "Reset Target");
  EXPECT_EQ(form->LastResponseCode, 99);
  form->LSCProgramTimerTimer();
  EXPECT_EQ(port.writes.size(), 2u);
  EXPECT_EQ(LastCommand(), 9);
}

TEST_F(GuidedFlow, ResetAnswerOrTimeOutDisconnects) {
  for (int32_t code : {9, 98}) {
    form->connect.SetCaption("Disconnect");
    form->connect.SetEnabled(false);
    form->LSCProgramTimer.SetEnabled(true);
    form->Gauge1.Show();
    Tick(code);
    EXPECT_EQ(form->LastResponseCode, 0);
    EXPECT_FALSE(form->LSCProgramTimer.Enabled());
    EXPECT_TRUE(form->connect.Enabled());
    EXPECT_EQ(form->connect.Caption(), "Connect");
    EXPECT_EQ(Status().back(), "Comm Port Closed");
    EXPECT_EQ(form->Gauge1.Visible(), code == 9) << code;  // hidden only after a time-out
  }
  EXPECT_TRUE(port.writes.empty());
  EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(GuidedFlow, OtherCodesDoNothing) {
  for (int32_t code : {0, 1, 2, 4, 5, 10, 97, 100, -1}) {
    const auto memo = Status();
    Tick(code);
    EXPECT_EQ(form->LastResponseCode, code);
    EXPECT_EQ(Status(), memo);
    EXPECT_TRUE(port.writes.empty());
    EXPECT_TRUE(form->connect.Enabled());
  }
}

TEST_F(GuidedFlow, TimerTicksEvery1500ms) {
  form->LSCProgramTimer.SetEnabled(true);
  form->LastResponseCode = 99;
  loop.AdvanceBy(1499);
  EXPECT_TRUE(port.writes.empty());
  loop.AdvanceBy(1);
  EXPECT_EQ(port.writes.size(), 1u);
  loop.AdvanceBy(3000);
  EXPECT_EQ(port.writes.size(), 3u);
}

TEST_F(GuidedFlow, ManualEraseDataInFullLayoutChainsOn) {
  PressF12();
  form->LSCProgramTimer.SetEnabled(true);
  form->BEraseEE.Click();
  Answer(8, 0x4000);
  loop.AdvanceBy(1500);
  EXPECT_EQ(LastCommand(), 7);
  Answer(7, 0x4000);
  loop.AdvanceBy(1500);
  EXPECT_EQ(Status().back(), "Programming from " + image);
}

TEST_F(GuidedFlow, AResponseBetweenTicksOverwritesTheCode) {
  form->LSCProgramTimer.SetEnabled(true);
  form->LocateClick();
  Answer(3, 0x4000);
  Answer(2, 0x4000);  // the tick sees only the last code
  loop.AdvanceBy(1500);
  EXPECT_TRUE(form->connect.Enabled());  // no erase chain started
  EXPECT_EQ(LastCommand(), 3);
  EXPECT_EQ(form->LastResponseCode, 2);
}

}  // namespace
}  // namespace quarnel
