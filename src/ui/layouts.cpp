// The window's two layouts: the full one with every operation, and the guided
// one with the four steps. Switching changes only what is shown and where.
#include "ui/main_window.h"
#include "ui/window_geometry.h"

namespace quarnel {

using namespace geometry;

void TForm1::ReconfigInterface() {
  const bool full = EngineeringMode == 1;
  Panel2.SetVisible(full);
  Panel3.SetVisible(full);
  TCommPort.SetVisible(full);
  connect.SetVisible(full);
  Panel_user.SetVisible(!full);
  Locate.SetVisible(full);
  BStopCapture.SetVisible(full);
  BResetTarget.SetVisible(full);
  BClearStatus.SetVisible(full);
  TBaudRate.SetVisible(full);
  CBaudRate.SetVisible(full);

  if (full) {
    CCommPort.Show();
    CCommPort.SetParent(this);
    CCommPort.SetLeft(kCommPortFullLeft);
    CCommPort.SetTop(kCommPortFullTop);
    CCommPort.SetWidth(kCommPortFullWidth);
    Label2.SetTop(kLabel2Top);
    DataResponse.SetTop(kDataResponseTop);
    DataResponse.SetHeight(kDataResponseHeight);
    connect.SetLeft(kConnectLeft);
    Panel1.SetBounds(kPanel1FullLeft, kPanel1FullTop, kPanel1FullWidth, kPanel1FullHeight);
    Gauge1.SetParent(&Panel1);
    Gauge1.SetLeft(kGaugeFullLeft);
    Gauge1.SetTop(kGaugeFullTop);
    Gauge1.SetWidth(kGaugeFullWidth);
    Memo1.SetWidth(kMemoFullWidth);
    return;
  }

  // The right panel takes the place of the left one and spans the window.
  Panel1.SetBounds(Panel2.Left(), Panel2.Top(), OuterWidth() - kGuidedMargin, Panel2.Height());
  Panel_user.SetWidth(Panel1.Width() - kGuidedMargin);
  LabPowerOn.SetWidth(Panel_user.Width() - kGuidedMargin);
  LabPowerOff.SetWidth(Panel_user.Width() - kGuidedMargin);
  LabResult.SetWidth(Panel_user.Width() - kGuidedMargin);
  Gauge1.SetParent(&Panel_user);
  Gauge1.SetBounds(kGaugeGuidedLeft, kGaugeGuidedTop, Panel_user.Width() - kGuidedMargin,
                   Gauge1.Height());
  // The port list stands beside Choose Comport, shown only once that button
  // has been used (it is disabled after a pick).
  CCommPort.SetParent(&Panel_user);
  CCommPort.SetVisible(!ButChooseCC.Enabled());
  CCommPort.SetLeft(ButChooseCC.Left() + ButChooseCC.Width() + kCommPortGap);
  CCommPort.SetTop(ButChooseCC.Top());
  // The guided panel has room for a port's whole name (by-id paths are long).
  CCommPort.SetWidth(Panel_user.Width() - CCommPort.Left() - kGuidedMargin);
  Memo1.SetWidth(Panel1.Width() - kGuidedMargin);
}

}  // namespace quarnel
