#include <gtest/gtest.h>

#include <map>

#include "comm/VaComm.h"
#include "window_fixture.h"

namespace quarnel {
namespace {

using testing::WindowTest;
using Controls = std::initializer_list<tk::TControl*>;

struct Rect {
  int left, top, right, bottom;
};

Rect OnWindow(const tk::TControl& c) {
  int left = c.Left(), top = c.Top();
  for (const tk::TControl* p = c.Parent(); p != nullptr && p->Parent() != nullptr;
       p = p->Parent()) {
    left += p->Left();
    top += p->Top();
  }
  return {left, top, left + c.Width(), top + c.Height()};
}

bool Overlap(const Rect& a, const Rect& b) {
  return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

std::vector<const tk::TControl*> ShowingLeaves(const tk::TControl& root) {
  std::vector<const tk::TControl*> out;
  for (const tk::TControl* child : root.Children()) {
    if (!child->Visible()) continue;
    if (child->ClassName() == "TPanel") {
      auto inner = ShowingLeaves(*child);
      out.insert(out.end(), inner.begin(), inner.end());
    } else {
      out.push_back(child);
    }
  }
  return out;
}

// What makes a layout tidy: every shown control lies inside its parent, and
// no two shown controls (panels aside) cover each other.
void ExpectTidy(const TForm1& form) {
  std::vector<const tk::TControl*> all;
  std::function<void(const tk::TControl&)> walk = [&](const tk::TControl& parent) {
    for (const tk::TControl* child : parent.Children()) {
      if (!child->Visible()) continue;
      EXPECT_GE(child->Left(), 0) << child->Name();
      EXPECT_GE(child->Top(), 0) << child->Name();
      EXPECT_LE(child->Left() + child->Width(), parent.Width()) << child->Name();
      EXPECT_LE(child->Top() + child->Height(), parent.Height()) << child->Name();
      EXPECT_GT(child->Width(), 0) << child->Name();
      EXPECT_GT(child->Height(), 0) << child->Name();
      walk(*child);
    }
  };
  walk(form);
  const auto leaves = ShowingLeaves(form);
  for (size_t i = 0; i < leaves.size(); ++i)
    for (size_t j = i + 1; j < leaves.size(); ++j)
      EXPECT_FALSE(Overlap(OnWindow(*leaves[i]), OnWindow(*leaves[j])))
          << leaves[i]->Name() << " covers " << leaves[j]->Name();
}

TEST_F(WindowTest, StartState) {
  EXPECT_EQ(form->Caption(), "Quarnel  V1.31");
  EXPECT_EQ(form->ClientWidth(), 601);
  EXPECT_EQ(form->ClientHeight(), 306);
  EXPECT_EQ(form->BorderStyle(), tk::TBorderStyle::bsSingle);
  EXPECT_TRUE(form->KeyPreview());
  EXPECT_EQ(Status(), std::vector<std::string>{"Program Ready"});
  EXPECT_EQ(form->DataResponse.LineCount(), 0);
  EXPECT_EQ(form->EngineeringMode, 0);
  EXPECT_EQ(form->LabPowerOff.Caption(), "1. Turn off the power to the Unit/Controller");
  EXPECT_EQ(form->LabPowerOn.Caption(), "4. Turn on the power to the Unit/Controller again");
  EXPECT_EQ(form->CCommPort.Items(), (std::vector<std::string>{"COM3", "COM1"}));
  EXPECT_EQ(form->CCommPort.ItemIndex(), 0);
  EXPECT_EQ(form->CCommPort.Text(), "COM3");
  EXPECT_EQ(form->connect.Caption(), "Connect");
  EXPECT_EQ(form->Link.SequenceNumber, 0);
  EXPECT_FALSE(form->SourceFileChosen);
  EXPECT_FALSE(form->SourceFileOpen);
  EXPECT_EQ(form->LastResponseCode, 0);

  for (tk::TControl* c : Controls{&form->Locate, &form->BResetTarget, &form->BPicSource,
                                  &form->BClearStatus, &form->connect, &form->ButChooseCC})
    EXPECT_TRUE(c->Enabled()) << c->Name();
  for (tk::TControl* c : Controls{&form->BStopCapture, &form->BErase, &form->BEraseEE,
                                  &form->BErasePRG, &form->BPicProgram, &form->ButConnectProgram})
    EXPECT_FALSE(c->Enabled()) << c->Name();
  EXPECT_FALSE(form->CCommPort.Visible());
  EXPECT_FALSE(form->Gauge1.Visible());
  EXPECT_FALSE(form->Button1.Visible());

  EXPECT_FALSE(form->Timer1.Enabled());
  EXPECT_FALSE(form->Timer1.OnTimer);
  EXPECT_FALSE(form->LSCProgramTimer.Enabled());
  EXPECT_EQ(form->LSCProgramTimer.Interval(), 1500u);
  EXPECT_EQ(loop.TimerCount(), 0u);
  EXPECT_TRUE(port.writes.empty());
}

TEST_F(WindowTest, StartsWithoutPortsSelectingNothing) {
  ports.clear();
  form = std::make_unique<TForm1>(Environment());
  EXPECT_TRUE(form->CCommPort.Items().empty());
  EXPECT_EQ(form->CCommPort.ItemIndex(), -1);
  EXPECT_EQ(form->CCommPort.Text(), "");
  EXPECT_EQ(Status(), std::vector<std::string>{"Program Ready"});
}

TEST_F(WindowTest, ControlsCarryTheirNamesCaptionsFontsAndParents) {
  struct Expected {
    tk::TControl* control;
    const char* name;
    const char* caption;
    tk::TControl* parent;
  };
  TForm1& f = *form;
  const Expected controls[] = {
      {&f.TCommPort, "TCommPort", "Comms Port:", &f},
      {&f.TBaudRate, "TBaudRate", "Baud Rate:", &f},
      {&f.connect, "connect", "Connect", &f},
      {&f.Button1, "Button1", "Simulate Capture", &f},
      {&f.Panel2, "Panel2", "", &f},
      {&f.Panel1, "Panel1", "", &f},
      {&f.Panel3, "Panel3", "", &f.Panel2},
      {&f.Label1, "Label1", "Encrypted Source FIle", &f.Panel3},
      {&f.BPicSource, "BPicSource", "File", &f.Panel3},
      {&f.EPicSource, "EPicSource", "", &f.Panel3},
      {&f.BErase, "BErase", "Erase", &f.Panel3},
      {&f.BEraseEE, "BEraseEE", "Erase Data", &f.Panel3},
      {&f.BErasePRG, "BErasePRG", "Erase Program", &f.Panel3},
      {&f.BPicProgram, "BPicProgram", "Program PIC", &f.Panel3},
      {&f.Label2, "Label2", "Target Response:", &f.Panel2},
      {&f.DataResponse, "DataResponse", "", &f.Panel2},
      {&f.Locate, "Locate", "Capture Target", &f.Panel1},
      {&f.BStopCapture, "BStopCapture", "Stop Capture", &f.Panel1},
      {&f.BResetTarget, "BResetTarget", "Reset Target", &f.Panel1},
      {&f.BClearStatus, "BClearStatus", "Clear Displays", &f.Panel1},
      {&f.Panel_user, "Panel_user", "", &f.Panel1},
      {&f.LabPowerOff, "LabPowerOff", "1. Turn off the power to the Unit/Controller",
       &f.Panel_user},
      {&f.LabNum2, "LabNum2", "2.", &f.Panel_user},
      {&f.ButChooseCC, "ButChooseCC", "Choose Comport", &f.Panel_user},
      {&f.LabNum4, "LabNum4", "3.", &f.Panel_user},
      {&f.ButConnectProgram, "ButConnectProgram", "Connect/Program device", &f.Panel_user},
      {&f.LabPowerOn, "LabPowerOn", "4. Turn on the power to the Unit/Controller again",
       &f.Panel_user},
      {&f.Gauge1, "Gauge1", "", &f.Panel_user},  // guided layout at start
      {&f.CCommPort, "CCommPort", "", &f.Panel_user},
      {&f.Label9, "Label9", "Programmer Status:", &f.Panel1},
      {&f.Memo1, "Memo1", "", &f.Panel1},
  };
  for (const Expected& e : controls) {
    EXPECT_EQ(e.control->Name(), e.name);
    EXPECT_EQ(e.control->Caption(), e.caption) << e.name;
    EXPECT_EQ(e.control->Parent(), e.parent) << e.name;
  }
  EXPECT_EQ(f.CBaudRate.Name(), "CBaudRate");
  EXPECT_EQ(f.CBaudRate.Items(), (std::vector<std::string>{"115200", "57600", "38400", "19200",
                                                           "9600", "4800", "1200"}));
  EXPECT_EQ(f.CBaudRate.Text(), "19200");
  EXPECT_EQ(f.Timer1.Name(), "Timer1");
  EXPECT_EQ(f.LSCProgramTimer.Name(), "LSCProgramTimer");
  EXPECT_EQ(f.OpenDialog1.Name(), "OpenDialog1");
  EXPECT_EQ(f.VaComm->Name(), "VaComm");
  EXPECT_EQ(f.Panel3.BevelInner(), tk::TBevelCut::bvLowered);

  const tk::TFont label{"MS Sans Serif", 13, false};
  const tk::TFont step{"MS Sans Serif", 16, true};
  for (tk::TControl* c : Controls{&f.TCommPort, &f.TBaudRate, &f.Label2, &f.Label9})
    EXPECT_EQ(c->Font(), label) << c->Name();
  for (tk::TControl* c : Controls{&f.LabPowerOff, &f.LabNum2, &f.LabNum4, &f.LabPowerOn})
    EXPECT_EQ(c->Font(), step) << c->Name();
  EXPECT_EQ(f.Memo1.Font(), (tk::TFont{"Courier", 11, false}));
  EXPECT_EQ(f.DataResponse.Font(), (tk::TFont{"Courier New", 11, false}));
  for (tk::TMemo* m : {&f.Memo1, &f.DataResponse}) {
    EXPECT_TRUE(m->ReadOnly()) << m->Name();
    EXPECT_TRUE(m->VerticalScrollBar()) << m->Name();
  }
}

TEST_F(WindowTest, GuidedLayoutAtStart) {
  TForm1& f = *form;
  for (tk::TControl* c :
       Controls{&f.Panel2, &f.Panel3, &f.TCommPort, &f.connect, &f.Locate, &f.BStopCapture,
                &f.BResetTarget, &f.BClearStatus, &f.TBaudRate, &f.CBaudRate})
    EXPECT_FALSE(c->Visible()) << c->Name();
  EXPECT_TRUE(f.Panel_user.Showing());
  EXPECT_TRUE(f.Memo1.Showing());
  EXPECT_TRUE(f.ButChooseCC.Showing());
  EXPECT_FALSE(f.DataResponse.Showing());

  const int panel1_width = f.OuterWidth() - 16;
  EXPECT_EQ(f.Panel1.Left(), 8);
  EXPECT_EQ(f.Panel1.Top(), 3);
  EXPECT_EQ(f.Panel1.Height(), 302);
  EXPECT_EQ(f.Panel1.Width(), panel1_width);
  EXPECT_EQ(f.Panel_user.Width(), panel1_width - 16);
  EXPECT_EQ(f.LabPowerOn.Width(), panel1_width - 32);
  EXPECT_EQ(f.LabPowerOff.Width(), panel1_width - 32);
  EXPECT_EQ(f.Gauge1.Parent(), &f.Panel_user);
  EXPECT_EQ(f.Gauge1.Left(), 8);
  EXPECT_EQ(f.Gauge1.Top(), 182);
  EXPECT_EQ(f.Gauge1.Width(), panel1_width - 32);
  EXPECT_EQ(f.ButChooseCC.Left(), 30);
  EXPECT_EQ(f.ButChooseCC.Top(), 40);
  EXPECT_EQ(f.ButChooseCC.Width(), 233);
  EXPECT_EQ(f.CCommPort.Left(), 273);
  EXPECT_EQ(f.CCommPort.Top(), 40);
  EXPECT_EQ(f.Memo1.Width(), panel1_width - 16);
  // The steps read top to bottom, the port list to the right of its button.
  EXPECT_LT(f.LabPowerOff.Top(), f.ButChooseCC.Top());
  EXPECT_LT(f.ButChooseCC.Top(), f.ButConnectProgram.Top());
  EXPECT_LT(f.ButConnectProgram.Top(), f.LabPowerOn.Top());
  EXPECT_LT(f.LabPowerOn.Top(), f.Gauge1.Top());
  EXPECT_LT(f.Panel_user.Top() + f.Panel_user.Height(), f.Memo1.Top());
  f.Gauge1.Show();
  f.CCommPort.Show();
  ExpectTidy(f);
}

TEST_F(WindowTest, FullLayoutAfterF12) {
  PressF12();
  TForm1& f = *form;
  EXPECT_EQ(f.EngineeringMode, 1);
  for (tk::TControl* c : Controls{&f.Panel2, &f.Panel3, &f.TCommPort, &f.CCommPort, &f.connect,
                                  &f.Locate, &f.BStopCapture, &f.BResetTarget, &f.BClearStatus,
                                  &f.TBaudRate, &f.CBaudRate, &f.DataResponse, &f.Memo1})
    EXPECT_TRUE(c->Showing()) << c->Name();
  EXPECT_FALSE(f.Panel_user.Visible());
  EXPECT_FALSE(f.Button1.Visible());
  EXPECT_EQ(f.CCommPort.Parent(), &f);
  EXPECT_EQ(f.CCommPort.Left(), 109);
  EXPECT_EQ(f.CCommPort.Top(), 5);
  EXPECT_EQ(f.Label2.Top(), 130);
  EXPECT_EQ(f.DataResponse.Top(), 152);
  EXPECT_EQ(f.DataResponse.Height(), 150);
  EXPECT_GE(f.DataResponse.Top(), f.Panel3.Top() + f.Panel3.Height());
  EXPECT_EQ(f.connect.Left(), 376);
  EXPECT_EQ(f.Panel1.Left(), 328);
  EXPECT_EQ(f.Panel1.Top(), 4);
  EXPECT_EQ(f.Panel1.Width(), 265);
  EXPECT_EQ(f.Panel1.Height(), 301);
  EXPECT_EQ(f.Gauge1.Parent(), &f.Panel1);
  EXPECT_EQ(f.Gauge1.Left(), 20);
  EXPECT_EQ(f.Gauge1.Top(), 138);
  EXPECT_EQ(f.Gauge1.Width(), 236);
  EXPECT_EQ(f.Memo1.Width(), 255);
  // The left panel is left of the right one, the labels above their displays.
  EXPECT_LE(f.Panel2.Left() + f.Panel2.Width(), f.Panel1.Left());
  EXPECT_LT(f.Label9.Top(), f.Memo1.Top());
  EXPECT_LT(f.Label2.Top(), f.DataResponse.Top());
  f.Gauge1.Show();
  ExpectTidy(f);
}

TEST_F(WindowTest, F12TwiceReturnsToTheGuidedLayout) {
  PressF12();
  PressF12();
  TForm1& f = *form;
  EXPECT_EQ(f.EngineeringMode, 0);
  EXPECT_EQ(f.CCommPort.Parent(), &f.Panel_user);
  EXPECT_EQ(f.CCommPort.Left(), 273);
  EXPECT_EQ(f.CCommPort.Top(), 40);
  EXPECT_FALSE(f.CCommPort.Visible());  // Choose Comport not used yet
  EXPECT_FALSE(f.Panel2.Visible());
  EXPECT_EQ(f.Panel1.Left(), 8);
  EXPECT_EQ(f.Gauge1.Parent(), &f.Panel_user);

  // Once a port is picked (the button disabled), the list stays in view.
  f.ButChooseCC.SetEnabled(false);
  PressF12();
  PressF12();
  EXPECT_TRUE(f.CCommPort.Visible());
}

TEST_F(WindowTest, KeyHandling) {
  uint16_t key = tk::VK_F12;
  form->KeyDown(key, 1 | 4);  // shift and control do not matter
  EXPECT_EQ(form->EngineeringMode, 1);
  EXPECT_EQ(key, tk::VK_F12);  // not consumed
  for (uint16_t other : {uint16_t{122}, uint16_t{124}, uint16_t{13}, uint16_t{0}}) {
    key = other;
    form->KeyDown(key, 0);
    EXPECT_EQ(form->EngineeringMode, 1) << other;
  }
}

TEST_F(WindowTest, SwitchingLayoutsChangesNoStateButVisibilityAndPlace) {
  TForm1& f = *form;
  f.LocateClick();
  f.LSCProgramTimer.SetEnabled(true);
  f.AppendLogLine(f.Memo1, "kept");
  std::map<std::string, bool> enabled;
  for (tk::TComponent* c : f.Components()) {
    if (auto* control = dynamic_cast<tk::TControl*>(c))
      enabled[control->Name()] = control->Enabled();
  }
  const auto memo = f.Memo1.Lines();
  PressF12();
  PressF12();
  PressF12();
  for (tk::TComponent* c : f.Components()) {
    if (auto* control = dynamic_cast<tk::TControl*>(c)) {
      EXPECT_EQ(control->Enabled(), enabled[control->Name()]) << control->Name();
    }
  }
  EXPECT_EQ(f.Memo1.Lines(), memo);
  EXPECT_TRUE(f.Timer1.Enabled());
  EXPECT_TRUE(f.LSCProgramTimer.Enabled());
  EXPECT_EQ(f.connect.Caption(), "Connect");
}

TEST_F(WindowTest, DisplaysKeepAtMost101Lines) {
  for (tk::TMemo* display : {&form->Memo1, &form->DataResponse}) {
    display->ClearLines();
    for (int i = 1; i <= 101; ++i) form->AppendLogLine(*display, std::to_string(i));
    EXPECT_EQ(display->LineCount(), 101);
    EXPECT_EQ(display->Lines().front(), "1");
    form->AppendLogLine(*display, "102");
    EXPECT_EQ(display->LineCount(), 101);
    EXPECT_EQ(display->Lines().front(), "2");
    EXPECT_EQ(display->Lines().back(), "102");
    for (int i = 103; i <= 500; ++i) form->AppendLogLine(*display, std::to_string(i));
    EXPECT_EQ(display->LineCount(), 101);
    EXPECT_EQ(display->Lines().front(), "400");
  }
}

class EnablingRules : public WindowTest {
 protected:
  void ExpectEnabled(std::initializer_list<tk::TControl*> on,
                     std::initializer_list<tk::TControl*> off) {
    for (tk::TControl* c : on) EXPECT_TRUE(c->Enabled()) << c->Name();
    for (tk::TControl* c : off) EXPECT_FALSE(c->Enabled()) << c->Name();
  }
};

TEST_F(EnablingRules, LoaderModeWithoutFileLeavesProgramAsItWas) {
  TForm1& f = *form;
  f.BStopCapture.SetEnabled(true);
  f.BResetTarget.SetEnabled(false);
  f.UpdateButtonsForStatus(0x4000);
  ExpectEnabled({&f.BErase, &f.BEraseEE, &f.BErasePRG, &f.BResetTarget, &f.Locate},
                {&f.BPicProgram, &f.BStopCapture});
  f.BPicProgram.SetEnabled(true);
  f.UpdateButtonsForStatus(0xC000);
  EXPECT_TRUE(f.BPicProgram.Enabled());
}

TEST_F(EnablingRules, LoaderModeWithFileEnablesProgram) {
  form->SourceFileChosen = true;
  form->UpdateButtonsForStatus(0x4000);
  EXPECT_TRUE(form->BPicProgram.Enabled());
}

TEST_F(EnablingRules, NoLoaderModeDisablesTargetButtonsButNotCaptureOrReset) {
  TForm1& f = *form;
  f.SourceFileChosen = true;
  f.UpdateButtonsForStatus(0x4000);
  f.BStopCapture.SetEnabled(true);
  f.UpdateButtonsForStatus(0xBFFF);
  ExpectEnabled({&f.Locate, &f.BResetTarget},
                {&f.BErase, &f.BEraseEE, &f.BErasePRG, &f.BPicProgram, &f.BStopCapture});
  f.DisableTargetButtons();
  ExpectEnabled({&f.BResetTarget},
                {&f.Locate, &f.BErase, &f.BEraseEE, &f.BErasePRG, &f.BPicProgram});
}

TEST_F(WindowTest, ClearDisplaysEmptiesBothAndNothingElse) {
  PressF12();
  Answer(3, 0x4000);
  ASSERT_GT(form->DataResponse.LineCount(), 0);
  const bool erase_enabled = form->BErase.Enabled();
  form->BClearStatus.Click();
  EXPECT_EQ(form->Memo1.LineCount(), 0);
  EXPECT_EQ(form->DataResponse.LineCount(), 0);
  EXPECT_EQ(form->BErase.Enabled(), erase_enabled);
  EXPECT_EQ(form->LastResponseCode, 3);
  EXPECT_EQ(form->EngineeringMode, 1);
}

TEST_F(WindowTest, ButtonsRunTheirHandlers) {
  PressF12();
  form->Locate.Click();
  ASSERT_EQ(port.writes.size(), 1u);
  EXPECT_EQ(port.writes[0], ":00010103FB\r\n");
  form->BStopCapture.Click();
  EXPECT_EQ(Status().back(), "Stop Capture");
  form->BResetTarget.Click();
  EXPECT_EQ(Status().back(), "Reset Target");
  form->TCommPort.Click();
  ports = {"ttyUSB0"};
  form->TCommPort.Click();
  EXPECT_EQ(form->CCommPort.Items(), std::vector<std::string>{"ttyUSB0"});
  EXPECT_EQ(form->CCommPort.ItemIndex(), -1);
}

}  // namespace
}  // namespace quarnel
