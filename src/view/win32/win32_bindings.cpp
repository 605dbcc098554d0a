#include "view/win32/win32_bindings.h"

#include "view/win32/win32_form_view.h"

namespace tk {

const wchar_t kWin32PanelClass[] = L"QuarnelPanel";

namespace {

constexpr int kButtonPadding = 4;  // on each side of a button's caption

HWND WindowOf(const ControlBinding& binding) {
  return Win32Native::Of(binding).Window();
}

}  // namespace

// ---- label ------------------------------------------------------------------

Win32LabelBinding::Win32LabelBinding(Win32FormView& view, TLabel& label, NativeControl* container)
    : LabelBinding(view.Core(), label,
                   std::make_unique<Win32Native>(
                       view,
                       // Clicks are reported; '&' is shown as it stands.
                       CreateChildWindow(WC_STATICW, SS_LEFT | SS_NOTIFY | SS_NOPREFIX, 0,
                                         view.ParentFor(container)))) {
  Win32Native::Of(*this).Listen(this);
}

void Win32LabelBinding::Command(WORD code) {
  if (code == STN_CLICKED) OperatorClick(Live());
}

void Win32LabelBinding::ShowCaption(const std::string& caption) {
  SetWindowTextW(WindowOf(*this), Wide(caption).c_str());
}

void Win32LabelBinding::ShowWordWrap(bool wrap) {
  HWND window = WindowOf(*this);
  LONG_PTR style = GetWindowLongPtrW(window, GWL_STYLE) & ~LONG_PTR{SS_TYPEMASK};
  style |= wrap ? SS_LEFT : SS_LEFTNOWORDWRAP;
  SetWindowLongPtrW(window, GWL_STYLE, style);
  InvalidateRect(window, nullptr, TRUE);
}

// ---- button -----------------------------------------------------------------

Win32ButtonBinding::Win32ButtonBinding(Win32FormView& view, TButton& button,
                                       NativeControl* container)
    : ButtonBinding(view.Core(), button,
                    std::make_unique<Win32Native>(
                        view, CreateChildWindow(WC_BUTTONW, BS_PUSHBUTTON | WS_TABSTOP, 0,
                                                view.ParentFor(container)))) {
  Win32Native::Of(*this).Listen(this);
}

void Win32ButtonBinding::Command(WORD code) {
  if (code == BN_CLICKED) OperatorClick(Live());
}

void Win32ButtonBinding::ShowCaption(const std::string& caption) {
  SetWindowTextW(WindowOf(*this), Wide(caption).c_str());
}

int Win32ButtonBinding::CaptionRoom(int width) const {
  return width - 2 * kButtonPadding;
}

// ---- panel ------------------------------------------------------------------

Win32PanelBinding::Win32PanelBinding(Win32FormView& view, TPanel& panel, NativeControl* container)
    : PanelBinding(view.Core(), panel,
                   std::make_unique<Win32Native>(
                       view, CreateChildWindow(kWin32PanelClass, WS_CLIPCHILDREN,
                                               WS_EX_CONTROLPARENT, view.ParentFor(container)))),
      panel_(panel) {
  Win32Native::Of(*this).Listen(this);
}

Win32PanelBinding::~Win32PanelBinding() {
  if (face_brush_ != nullptr) DeleteObject(face_brush_);
}

HBRUSH Win32PanelBinding::FaceBrush(COLORREF& colour) {
  if (panel_.Color() == clBtnFace) return nullptr;
  if (face_brush_ == nullptr || face_colour_ != panel_.Color()) {
    if (face_brush_ != nullptr) DeleteObject(face_brush_);
    face_colour_ = panel_.Color();
    // TColor is 0x00BBGGRR, as COLORREF.
    face_brush_ = CreateSolidBrush(static_cast<COLORREF>(face_colour_));
  }
  colour = static_cast<COLORREF>(face_colour_);
  return face_brush_;
}

void Win32PanelBinding::Apply(Change change) {
  PanelBinding::Apply(change);
  if (change == Change::Font) InvalidateRect(WindowOf(*this), nullptr, TRUE);
}

void Win32PanelBinding::ShowCaption(const std::string&) {
  InvalidateRect(WindowOf(*this), nullptr, TRUE);
}

void Win32PanelBinding::ShowBevels(TBevelCut, TBevelCut) {
  InvalidateRect(WindowOf(*this), nullptr, TRUE);
}

void Win32PanelBinding::ShowColor(TColor) {
  // The texts on the panel take its colour too.
  RedrawWindow(WindowOf(*this), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
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
      GetClientRect(WindowOf(*this), &inside);
      const POINT at{static_cast<short>(LOWORD(lparam)), static_cast<short>(HIWORD(lparam))};
      const bool click = pressed_ && PtInRect(&inside, at);
      pressed_ = false;
      if (click) OperatorClick(Live());
      result = 0;
      return true;
    }
    default:
      return false;
  }
}

void Win32PanelBinding::Paint() {
  const Win32Native& native = Win32Native::Of(*this);
  HWND window = native.Window();
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(window, &paint);
  RECT area;
  GetClientRect(window, &area);
  if (panel_.Color() != clBtnFace) {
    // TColor is 0x00BBGGRR, as COLORREF.
    HBRUSH fill = CreateSolidBrush(static_cast<COLORREF>(panel_.Color()));
    FillRect(dc, &area, fill);
    DeleteObject(fill);
  }
  // Two bevels of one pixel each, the outer one first.
  UINT edge = 0;
  if (panel_.BevelOuter() == TBevelCut::bvRaised) edge |= BDR_RAISEDOUTER;
  if (panel_.BevelOuter() == TBevelCut::bvLowered) edge |= BDR_SUNKENOUTER;
  if (panel_.BevelInner() == TBevelCut::bvRaised) edge |= BDR_RAISEDINNER;
  if (panel_.BevelInner() == TBevelCut::bvLowered) edge |= BDR_SUNKENINNER;
  if (edge != 0) DrawEdge(dc, &area, edge, BF_RECT | BF_ADJUST);
  const std::wstring caption = Wide(panel_.Caption());
  if (!caption.empty() && native.ShownFont() != nullptr) {
    HGDIOBJ old = SelectObject(dc, native.ShownFont());
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, native.TextColour());
    DrawTextW(dc, caption.c_str(), static_cast<int>(caption.size()), &area,
              DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    SelectObject(dc, old);
  }
  EndPaint(window, &paint);
}

// ---- edit -------------------------------------------------------------------

Win32EditBinding::Win32EditBinding(Win32FormView& view, TEdit& edit, NativeControl* container)
    : EditBinding(view.Core(), edit,
                  std::make_unique<Win32Native>(
                      view,
                      CreateChildWindow(WC_EDITW, ES_LEFT | ES_AUTOHSCROLL | WS_TABSTOP,
                                        WS_EX_CLIENTEDGE, view.ParentFor(container)),
                      Win32Native::Background::kField)) {
  Win32Native::Of(*this).Listen(this);
}

void Win32EditBinding::Command(WORD code) {
  if (code == EN_CHANGE) Typed(Utf8(WindowText(WindowOf(*this))));
}

void Win32EditBinding::ShowText(const std::string& text) {
  HWND window = WindowOf(*this);
  const std::wstring shown = Wide(text);
  if (WindowText(window) == shown) return;
  SetWindowTextW(window, shown.c_str());
  // The end of a long path is the part worth seeing.
  const int length = GetWindowTextLengthW(window);
  SendMessageW(window, EM_SETSEL, static_cast<WPARAM>(length), length);
}

// ---- gauge ------------------------------------------------------------------

Win32GaugeBinding::Win32GaugeBinding(Win32FormView& view, TGauge& gauge, NativeControl* container)
    : GaugeBinding(
          view.Core(), gauge,
          std::make_unique<Win32Native>(
              view, CreateChildWindow(PROGRESS_CLASSW, PBS_SMOOTH, 0, view.ParentFor(container)))) {
  HWND bar = WindowOf(*this);
  SendMessageW(bar, PBM_SETRANGE32, 0, kSteps);
  SetWindowSubclass(bar, &Win32GaugeBinding::PaintPercentage, 1,
                    reinterpret_cast<DWORD_PTR>(&Win32Native::Of(*this)));
}

Win32GaugeBinding::~Win32GaugeBinding() {
  RemoveWindowSubclass(WindowOf(*this), &Win32GaugeBinding::PaintPercentage, 1);
}

void Win32GaugeBinding::ShowProgress(int done, const std::string& text) {
  HWND bar = WindowOf(*this);
  SendMessageW(bar, PBM_SETPOS, static_cast<WPARAM>(done), 0);
  SetWindowTextW(bar, Wide(text).c_str());
  InvalidateRect(bar, nullptr, FALSE);
}

LRESULT CALLBACK Win32GaugeBinding::PaintPercentage(HWND window, UINT message, WPARAM wparam,
                                                    LPARAM lparam, UINT_PTR, DWORD_PTR data) {
  const LRESULT result = DefSubclassProc(window, message, wparam, lparam);
  // The bar draws its fill on these too, not only when painted (it moves it
  // on in steps of its own).
  if (message != WM_PAINT && message != WM_TIMER && message != PBM_SETPOS) return result;
  // The system's bar has no text: the percentage goes on top of its fill.
  const auto* native = reinterpret_cast<const Win32Native*>(data);
  const std::wstring text = WindowText(window);
  RECT area;
  GetClientRect(window, &area);
  HDC dc = GetDC(window);
  HGDIOBJ old = SelectObject(
      dc, native->ShownFont() != nullptr ? native->ShownFont() : GetStockObject(DEFAULT_GUI_FONT));
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, native->TextColour());
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &area,
            DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
  SelectObject(dc, old);
  ReleaseDC(window, dc);
  return result;
}

// ---- any other control ------------------------------------------------------

Win32ContainerBinding::Win32ContainerBinding(Win32FormView& view, TControl& control,
                                             NativeControl* container)
    : ContainerBinding(
          view.Core(), control,
          std::make_unique<Win32Native>(
              view, CreateChildWindow(kWin32PanelClass, WS_CLIPCHILDREN, WS_EX_CONTROLPARENT,
                                      view.ParentFor(container)))) {}

}  // namespace tk
