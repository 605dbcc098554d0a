// The window definition of the main window: every control with its name,
// caption, font, parent and place, and the handlers behind them.
#include "ui/main_window.h"
#include "ui/window_geometry.h"

namespace quarnel {
namespace {

using namespace geometry;

const tk::TFont kLabelFont{"MS Sans Serif", 13, false};
const tk::TFont kSmallLabelFont{"MS Sans Serif", 11, false};
const tk::TFont kStepFont{"MS Sans Serif", 16, true};
const tk::TFont kResultFont{"MS Sans Serif", 13, true};
const tk::TFont kStatusFont{"Courier", 11, false};
const tk::TFont kResponseFont{"Courier New", 11, false};

constexpr int kButtonHeight = 25;
constexpr int kComboHeight = 21;
constexpr int kLabelHeight = 13;
constexpr int kStepHeight = 20;
constexpr int kResultTop = 148, kResultHeight = 32;  // below step 4 (124 + 20), above the gauge

void Place(tk::TControl& control, const std::string& name, tk::TControl& parent, int left, int top,
           int width, int height) {
  control.SetName(name);
  control.SetParent(&parent);
  control.SetBounds(left, top, width, height);
}

void PlaceLabel(tk::TLabel& label, const std::string& name, const std::string& caption,
                const tk::TFont& font, tk::TControl& parent, int left, int top, int width,
                int height = kLabelHeight) {
  Place(label, name, parent, left, top, width, height);
  label.SetCaption(caption);
  label.SetFont(font);
}

void PlaceButton(tk::TButton& button, const std::string& name, const std::string& caption,
                 tk::TControl& parent, int left, int top, int width) {
  Place(button, name, parent, left, top, width, kButtonHeight);
  button.SetCaption(caption);
  button.SetFont(kLabelFont);
}

void SetUpDisplay(tk::TMemo& display, const tk::TFont& font) {
  display.SetFont(font);
  display.SetReadOnly(true);
  display.SetVerticalScrollBar(true);
}

}  // namespace

void TForm1::BuildControls() {
  SetName("Form1");
  SetBorderStyle(tk::TBorderStyle::bsSingle);
  SetClientSize(kClientWidth, kClientHeight);
  SetKeyPreview(true);
  SetFont(kLabelFont);

  // The panels first: the connection row along the top is added after them,
  // so it stands in front of their upper edge.
  Place(Panel2, "Panel2", *this, kPanel2Left, kPanel2Top, kPanel2Width, kPanel2Height);
  Place(Panel1, "Panel1", *this, kPanel1FullLeft, kPanel1FullTop, kPanel1FullWidth,
        kPanel1FullHeight);

  // Left panel: the file row and the erase/program buttons, then the
  // response display.
  Place(Panel3, "Panel3", Panel2, 6, 32, 300, 92);
  Panel3.SetBevelInner(tk::TBevelCut::bvLowered);
  PlaceLabel(Label1, "Label1", "Encrypted Source FIle", kSmallLabelFont, Panel3, 8, 6, 150, 11);
  Place(EPicSource, "EPicSource", Panel3, 8, 24, 222, kComboHeight);
  EPicSource.SetFont(kLabelFont);
  PlaceButton(BPicSource, "BPicSource", "File", Panel3, 236, 22, 56);
  // Widths follow the captions, so "Erase Program" is not clipped.
  PlaceButton(BErase, "BErase", "Erase", Panel3, 8, 58, 56);
  PlaceButton(BEraseEE, "BEraseEE", "Erase Data", Panel3, 67, 58, 70);
  PlaceButton(BErasePRG, "BErasePRG", "Erase Program", Panel3, 140, 58, 82);
  PlaceButton(BPicProgram, "BPicProgram", "Program PIC", Panel3, 225, 58, 67);
  PlaceLabel(Label2, "Label2", "Target Response:", kLabelFont, Panel2, 8, kLabel2Top, 120);
  Place(DataResponse, "DataResponse", Panel2, 8, kDataResponseTop, 296, kDataResponseHeight);
  SetUpDisplay(DataResponse, kResponseFont);

  // Right panel: the target buttons (full layout), the guided steps (guided
  // layout), the gauge and the status display.
  PlaceButton(Locate, "Locate", "Capture Target", Panel1, 10, 36, 118);
  PlaceButton(BStopCapture, "BStopCapture", "Stop Capture", Panel1, 137, 36, 118);
  PlaceButton(BResetTarget, "BResetTarget", "Reset Target", Panel1, 10, 76, 118);
  PlaceButton(BClearStatus, "BClearStatus", "Clear Displays", Panel1, 137, 76, 118);

  const int guided_panel1_width = OuterWidth() - kGuidedMargin;
  const int user_width = guided_panel1_width - kGuidedMargin;
  const int step_width = user_width - kGuidedMargin;
  Place(Panel_user, "Panel_user", Panel1, 8, 6, user_width, 200);
  PlaceLabel(LabPowerOff, "LabPowerOff", "", kStepFont, Panel_user, 8, 10, step_width, kStepHeight);
  PlaceLabel(LabNum2, "LabNum2", "2.", kStepFont, Panel_user, 10, kChooseTop + 3, 18, kStepHeight);
  PlaceButton(ButChooseCC, "ButChooseCC", "Choose Comport", Panel_user, kChooseLeft, kChooseTop,
              kChooseWidth);
  PlaceLabel(LabNum4, "LabNum4", "3.", kStepFont, Panel_user, 10, 83, 18, kStepHeight);
  PlaceButton(ButConnectProgram, "ButConnectProgram", "Connect/Program device", Panel_user,
              kChooseLeft, 80, kChooseWidth);
  ButConnectProgram.SetEnabled(false);
  PlaceLabel(LabPowerOn, "LabPowerOn", "", kStepFont, Panel_user, 8, 124, step_width, kStepHeight);
  // The result line, in the free space between step 4 and the gauge: room
  // for two lines, so a long one wraps instead of running off the panel.
  PlaceLabel(LabResult, "LabResult", "", kResultFont, Panel_user, 8, kResultTop, step_width,
             kResultHeight);
  LabResult.SetWordWrap(true);

  Place(Gauge1, "Gauge1", Panel1, kGaugeFullLeft, kGaugeFullTop, kGaugeFullWidth, 18);
  Gauge1.SetMinValue(0);
  Gauge1.Hide();

  PlaceLabel(Label9, "Label9", "Programmer Status:", kLabelFont, Panel1, 6, 212, 120);
  Place(Memo1, "Memo1", Panel1, 6, 228, kMemoFullWidth, 68);
  SetUpDisplay(Memo1, kStatusFont);

  // The connection row along the top of the window.
  PlaceLabel(TCommPort, "TCommPort", "Comms Port:", kLabelFont, *this, 44, 9, 62);
  Place(CCommPort, "CCommPort", *this, kCommPortFullLeft, kCommPortFullTop, kCommPortFullWidth,
        kComboHeight);
  CCommPort.SetFont(kLabelFont);
  PlaceLabel(TBaudRate, "TBaudRate", "Baud Rate:", kLabelFont, *this, 206, 9, 52);
  Place(CBaudRate, "CBaudRate", *this, 258, 5, 60, kComboHeight);
  CBaudRate.SetFont(kLabelFont);
  CBaudRate.SetItems({"115200", "57600", "38400", "19200", "9600", "4800", "1200"});
  CBaudRate.SetText("19200");
  PlaceButton(connect, "connect", "Connect", *this, kConnectLeft, 3, 75);

  // Never shown: a way to try the enabling rules without a target.
  PlaceButton(Button1, "Button1", "Simulate Capture", *this, 470, 3, 110);
  Button1.Hide();

  OpenDialog1.SetName("OpenDialog1");
  Timer1.SetName("Timer1");
  Timer1.SetEnabled(false);
  LSCProgramTimer.SetName("LSCProgramTimer");
  LSCProgramTimer.SetEnabled(false);
  LSCProgramTimer.SetInterval(1500);
}

void TForm1::BindHandlers() {
  auto bind = [this](tk::TControl& control, void (TForm1::*handler)(tk::TObject*)) {
    control.OnClick = [this, handler](tk::TObject* sender) { (this->*handler)(sender); };
  };
  bind(TCommPort, &TForm1::TCommPortClick);
  bind(connect, &TForm1::connectClick);
  bind(Button1, &TForm1::Button1Click);
  bind(BPicSource, &TForm1::BPicSourceClick);
  bind(BErase, &TForm1::BEraseClick);
  bind(BEraseEE, &TForm1::BEraseEEClick);
  bind(BErasePRG, &TForm1::BErasePRGClick);
  bind(BPicProgram, &TForm1::BPicProgramClick);
  bind(Locate, &TForm1::LocateClick);
  bind(BStopCapture, &TForm1::BStopCaptureClick);
  bind(BResetTarget, &TForm1::BResetTargetClick);
  bind(BClearStatus, &TForm1::BClearStatusClick);
  bind(ButChooseCC, &TForm1::ButChooseCCClick);
  bind(ButConnectProgram, &TForm1::ButConnectProgramClick);
  CCommPort.OnSelect = [this](tk::TObject* sender) { CCommPortClick(sender); };
  LSCProgramTimer.OnTimer = [this](tk::TObject* sender) { LSCProgramTimerTimer(sender); };
  OnKeyDown = [this](tk::TObject* sender, uint16_t& key, tk::TShiftState shift) {
    FormKeyDown(sender, key, shift);
  };
  OnClose = [this](tk::TObject* sender) { FormClose(sender); };
}

}  // namespace quarnel
