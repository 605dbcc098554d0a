#include "view/win32/win32_simple_bindings.h"

#include <algorithm>

#include "view/win32/win32_form_view.h"

namespace tk {

const wchar_t kWin32PanelClass[] = L"QuarnelPanel";

namespace {

constexpr int kGaugeSteps = 10000;  // fill resolution, finer than a pixel
constexpr int kLabelGap = 3;        // between a label and the control beside it
constexpr int kButtonPadding = 4;   // on each side of a button's caption
constexpr int kNoLimit = 1 << 20;

// Disabled controls gate the operator: a click the window still reports
// (a message sent to a disabled button, say) runs nothing.
void RunClick(const Win32Binding::LiveControl& live) {
  Win32Binding::Act<TControl>(live, [](TControl& c) {
    if (c.Enabled()) c.Click();
  });
}

}  // namespace

// ---- label ------------------------------------------------------------------

Win32LabelBinding::Win32LabelBinding(Win32FormView& view, TLabel& label, HWND parent)
    : Win32Binding(view, label), label_(label) {
  // Clicks are reported; '&' is shown as it stands.
  Attach(CreateChildWindow(WC_STATICW, SS_LEFT | SS_NOTIFY | SS_NOPREFIX, 0, parent));
}

void Win32LabelBinding::Command(WORD code) {
  if (code == STN_CLICKED) RunClick(Live());
}

void Win32LabelBinding::Apply(Change change) {
  Win32Binding::Apply(change);
  if (change == Change::Caption) SetWindowTextW(Window(), Wide(label_.Caption()).c_str());
  if (change == Change::Style) {
    LONG_PTR style = GetWindowLongPtrW(Window(), GWL_STYLE) & ~LONG_PTR{SS_TYPEMASK};
    style |= label_.WordWrap() ? SS_LEFT : SS_LEFTNOWORDWRAP;
    SetWindowLongPtrW(Window(), GWL_STYLE, style);
  }
  // The label's font and box follow its text (see ApplyGeometry).
  if (change == Change::Caption || change == Change::Font || change == Change::Style) Refit();
}

void Win32LabelBinding::Refit() {
  if (*Live() == nullptr) return;
  ApplyFont();
  ApplyGeometry();
  InvalidateRect(Window(), nullptr, TRUE);
}

int Win32LabelBinding::RoomToTheRight() const {
  const TControl* parent = label_.Parent();
  if (parent == nullptr || label_.WordWrap()) return kNoLimit;
  int nearest = kNoLimit;
  const int top = label_.Top(), bottom = label_.Top() + label_.Height();
  for (const TControl* other : parent->Children()) {
    if (other == &label_ || !other->Visible()) continue;
    const bool beside = other->Top() < bottom && other->Top() + other->Height() > top;
    if (beside && other->Left() > label_.Left()) nearest = std::min(nearest, other->Left());
  }
  if (nearest == kNoLimit) return kNoLimit;
  return View().Scale(std::max(nearest - kLabelGap - label_.Left(), label_.Width()));
}

HFONT Win32LabelBinding::ShownFont() {
  const int room = RoomToTheRight();
  if (room == kNoLimit) return Win32Binding::ShownFont();
  return View().FittingFont(label_.Font(), {Wide(label_.Caption())}, room);
}

void Win32LabelBinding::ApplyGeometry() {
  // Labels size themselves to their text, as the original's did: the box
  // given is a minimum, grown where the font needs more room, so no text is
  // cut off. A label that wraps keeps its width and grows downwards.
  const int width = View().Scale(label_.Width());
  const int height = View().Scale(label_.Height());
  RECT text{0, 0, width, 0};
  const std::wstring caption = Wide(label_.Caption());
  HDC dc = GetDC(Window());
  HGDIOBJ old = SelectObject(dc, ShownFont());
  DrawTextW(dc, caption.c_str(), static_cast<int>(caption.size()), &text,
            DT_CALCRECT | DT_NOPREFIX | (label_.WordWrap() ? DT_WORDBREAK : DT_SINGLELINE));
  SelectObject(dc, old);
  ReleaseDC(Window(), dc);
  const int shown_width =
      label_.WordWrap() ? width : std::max<int>(width, std::min<int>(text.right, RoomToTheRight()));
  SetWindowPos(Window(), nullptr, View().Scale(label_.Left()), View().Scale(label_.Top()),
               shown_width, std::max<int>(height, text.bottom), SWP_NOZORDER | SWP_NOACTIVATE);
}

// ---- button -----------------------------------------------------------------

Win32ButtonBinding::Win32ButtonBinding(Win32FormView& view, TButton& button, HWND parent)
    : Win32Binding(view, button) {
  Attach(CreateChildWindow(WC_BUTTONW, BS_PUSHBUTTON | WS_TABSTOP, 0, parent));
}

void Win32ButtonBinding::Command(WORD code) {
  if (code == BN_CLICKED) RunClick(Live());
}

void Win32ButtonBinding::Apply(Change change) {
  Win32Binding::Apply(change);
  if (change == Change::Caption) SetWindowTextW(Window(), Wide(Control().Caption()).c_str());
  if (change == Change::Caption || change == Change::Geometry) ApplyFont();
}

HFONT Win32ButtonBinding::ShownFont() {
  const TControl& c = Control();
  return View().FittingFont(c.Font(), {Wide(c.Caption())},
                            View().Scale(c.Width()) - 2 * kButtonPadding);
}

// ---- panel ------------------------------------------------------------------

Win32PanelBinding::Win32PanelBinding(Win32FormView& view, TPanel& panel, HWND parent)
    : Win32Binding(view, panel), panel_(panel) {
  Attach(CreateChildWindow(kWin32PanelClass, WS_CLIPCHILDREN, WS_EX_CONTROLPARENT, parent));
}

void Win32PanelBinding::Apply(Change change) {
  Win32Binding::Apply(change);
  if (change == Change::Caption || change == Change::Bevel || change == Change::Font)
    InvalidateRect(Window(), nullptr, TRUE);
}

bool Win32PanelBinding::Handle(UINT message, WPARAM, LPARAM lparam, LRESULT& result) {
  switch (message) {
    case WM_PAINT:
      Paint();
      result = 0;
      return true;
    case WM_LBUTTONDOWN:
      pressed_ = true;
      return false;
    case WM_LBUTTONUP: {
      // A press and release inside the panel is a click.
      RECT inside;
      GetClientRect(Window(), &inside);
      const POINT at{static_cast<short>(LOWORD(lparam)), static_cast<short>(HIWORD(lparam))};
      const bool click = pressed_ && PtInRect(&inside, at);
      pressed_ = false;
      if (click) RunClick(Live());
      result = 0;
      return true;
    }
    default:
      return false;
  }
}

void Win32PanelBinding::Paint() {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(Window(), &paint);
  RECT area;
  GetClientRect(Window(), &area);
  // Two bevels of one pixel each, the outer one first.
  UINT edge = 0;
  if (panel_.BevelOuter() == TBevelCut::bvRaised) edge |= BDR_RAISEDOUTER;
  if (panel_.BevelOuter() == TBevelCut::bvLowered) edge |= BDR_SUNKENOUTER;
  if (panel_.BevelInner() == TBevelCut::bvRaised) edge |= BDR_RAISEDINNER;
  if (panel_.BevelInner() == TBevelCut::bvLowered) edge |= BDR_SUNKENINNER;
  if (edge != 0) DrawEdge(dc, &area, edge, BF_RECT | BF_ADJUST);
  const std::wstring caption = Wide(panel_.Caption());
  if (!caption.empty()) {
    HGDIOBJ old = SelectObject(dc, View().FontFor(panel_.Font()));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, TextColour());
    DrawTextW(dc, caption.c_str(), static_cast<int>(caption.size()), &area,
              DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    SelectObject(dc, old);
  }
  EndPaint(Window(), &paint);
}

// ---- edit -------------------------------------------------------------------

Win32EditBinding::Win32EditBinding(Win32FormView& view, TEdit& edit, HWND parent)
    : Win32Binding(view, edit), edit_(edit) {
  Attach(
      CreateChildWindow(WC_EDITW, ES_LEFT | ES_AUTOHSCROLL | WS_TABSTOP, WS_EX_CLIENTEDGE, parent));
}

void Win32EditBinding::Command(WORD code) {
  // What the operator types is the control's text; the window's own echo of
  // a change of the control is not.
  if (code != EN_CHANGE || Applying()) return;
  const std::string text = Utf8(WindowText(Window()));
  Act<TEdit>(Live(), [&](TEdit& e) { e.SetText(text); });
}

HBRUSH Win32EditBinding::Colours(HDC dc) {
  SetTextColor(dc, TextColour());
  SetBkColor(dc, GetSysColor(COLOR_WINDOW));
  return GetSysColorBrush(COLOR_WINDOW);
}

void Win32EditBinding::Apply(Change change) {
  Win32Binding::Apply(change);
  if (change != Change::Text) return;
  const std::wstring text = Wide(edit_.Text());
  if (WindowText(Window()) != text) {
    SetWindowTextW(Window(), text.c_str());
    // The end of a long path is the part worth seeing.
    const int length = GetWindowTextLengthW(Window());
    SendMessageW(Window(), EM_SETSEL, static_cast<WPARAM>(length), length);
  }
}

// ---- gauge ------------------------------------------------------------------

Win32GaugeBinding::Win32GaugeBinding(Win32FormView& view, TGauge& gauge, HWND parent)
    : Win32Binding(view, gauge), gauge_(gauge) {
  HWND bar = CreateChildWindow(PROGRESS_CLASSW, PBS_SMOOTH, 0, parent);
  SendMessageW(bar, PBM_SETRANGE32, 0, kGaugeSteps);
  SetWindowSubclass(bar, &Win32GaugeBinding::PaintPercentage, 1, reinterpret_cast<DWORD_PTR>(this));
  Attach(bar);
}

Win32GaugeBinding::~Win32GaugeBinding() {
  RemoveWindowSubclass(Window(), &Win32GaugeBinding::PaintPercentage, 1);
}

void Win32GaugeBinding::Apply(Change change) {
  Win32Binding::Apply(change);
  if (change != Change::Gauge) return;
  const int64_t span = int64_t{gauge_.MaxValue()} - gauge_.MinValue();
  const int64_t done = int64_t{gauge_.Progress()} - gauge_.MinValue();
  const int position = span <= 0 ? 0 : static_cast<int>(done * kGaugeSteps / span);
  SendMessageW(Window(), PBM_SETPOS, static_cast<WPARAM>(position), 0);
  // The control's own percentage, so the text never disagrees with the model.
  SetWindowTextW(Window(), (std::to_wstring(gauge_.PercentDone()) + L"%").c_str());
  InvalidateRect(Window(), nullptr, FALSE);
}

LRESULT CALLBACK Win32GaugeBinding::PaintPercentage(HWND window, UINT message, WPARAM wparam,
                                                    LPARAM lparam, UINT_PTR, DWORD_PTR data) {
  const LRESULT result = DefSubclassProc(window, message, wparam, lparam);
  // The bar draws its fill on these too, not only when painted (it moves it
  // on in steps of its own).
  if (message != WM_PAINT && message != WM_TIMER && message != PBM_SETPOS) return result;
  // The system's bar has no text: the percentage goes on top of its fill.
  auto* self = reinterpret_cast<Win32GaugeBinding*>(data);
  const std::wstring text = WindowText(window);
  RECT area;
  GetClientRect(window, &area);
  HDC dc = GetDC(window);
  const TControl* gauge = *self->Live();
  HGDIOBJ old = SelectObject(dc, gauge != nullptr ? self->View().FontFor(gauge->Font())
                                                  : GetStockObject(DEFAULT_GUI_FONT));
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, self->TextColour());
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &area,
            DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
  SelectObject(dc, old);
  ReleaseDC(window, dc);
  return result;
}

// ---- any other control ------------------------------------------------------

Win32ContainerBinding::Win32ContainerBinding(Win32FormView& view, TControl& control, HWND parent)
    : Win32Binding(view, control) {
  Attach(CreateChildWindow(kWin32PanelClass, WS_CLIPCHILDREN, WS_EX_CONTROLPARENT, parent));
}

}  // namespace tk
