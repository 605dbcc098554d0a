#pragma once
// Positions and sizes of the main window's controls that both the building of
// the window and its two layouts use. Pixels; a control's position is within
// its parent.

namespace quarnel::geometry {

constexpr int kClientWidth = 601;
constexpr int kClientHeight = 306;

// Full layout: the left panel with the file row and the response display, the
// right panel with the target buttons and the status display.
constexpr int kPanel2Left = 8, kPanel2Top = 3, kPanel2Width = 312, kPanel2Height = 302;
constexpr int kPanel1FullLeft = 328, kPanel1FullTop = 4, kPanel1FullWidth = 265;
constexpr int kPanel1FullHeight = 301;
constexpr int kCommPortFullLeft = 109, kCommPortFullTop = 5, kCommPortFullWidth = 90;
constexpr int kConnectLeft = 376;
constexpr int kLabel2Top = 130;
constexpr int kDataResponseTop = 152, kDataResponseHeight = 150;
constexpr int kGaugeFullLeft = 20, kGaugeFullTop = 138, kGaugeFullWidth = 236;
constexpr int kMemoFullWidth = 255;

// Guided layout: the steps panel inside the right panel, which then spans the
// window.
constexpr int kGuidedMargin = 16;
constexpr int kGaugeGuidedLeft = 8, kGaugeGuidedTop = 182;
constexpr int kChooseLeft = 30, kChooseTop = 40, kChooseWidth = 233;
constexpr int kCommPortGap = 10;  // between Choose Comport and the port list

}  // namespace quarnel::geometry
