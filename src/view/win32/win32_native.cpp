#include "view/win32/win32_native.h"

#include <stdexcept>

#include "view/win32/win32_form_view.h"

namespace tk {

namespace {

// A binding's windows carry their native under this mark, so a window of
// another kind is never taken for one.
constexpr wchar_t kNativeProperty[] = L"QuarnelNative";

}  // namespace

HWND CreateChildWindow(const wchar_t* window_class, DWORD style, DWORD ex_style, HWND parent) {
  HWND window = CreateWindowExW(ex_style, window_class, L"",
                                WS_CHILD | WS_CLIPSIBLINGS | (style & ~WS_VISIBLE), 0, 0, 0, 0,
                                parent, nullptr, GetModuleHandleW(nullptr), nullptr);
  if (window == nullptr) throw std::runtime_error("A window of the main window cannot be made");
  return window;
}

Win32Native::Win32Native(Win32FormView& view, HWND window, Background background, bool owns)
    : view_(view), window_(window), background_(background), owns_(owns) {
  SetPropW(window, kNativeProperty, this);
  // The newest control's window lies in front of those made before it.
  if (owns) SetWindowPos(window, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

Win32Native::~Win32Native() {
  RemovePropW(window_, kNativeProperty);
  if (owns_) DestroyWindow(window_);
}

Win32Native* Win32Native::Of(HWND window) {
  return window == nullptr ? nullptr : static_cast<Win32Native*>(GetPropW(window, kNativeProperty));
}

void Win32Native::SetBounds(int left, int top, int width, int height) {
  SetWindowPos(window_, nullptr, view_.Scale(left), view_.Scale(top), view_.Scale(width),
               view_.Scale(height), SWP_NOZORDER | SWP_NOACTIVATE);
}

void Win32Native::SetVisible(bool visible) {
  ShowWindow(window_, visible ? SW_SHOWNA : SW_HIDE);
}

void Win32Native::SetEnabled(bool enabled) {
  EnableWindow(window_, enabled ? TRUE : FALSE);
}

void Win32Native::SetFont(const TFont& font) {
  colour_ = font.color;
  HFONT shown = view_.FontFor(font);
  if (shown == font_) return;
  font_ = shown;
  SendMessageW(window_, WM_SETFONT, reinterpret_cast<WPARAM>(shown), TRUE);
}

void Win32Native::MoveInto(NativeControl* container) {
  HWND target =
      container == nullptr ? view_.Holder() : static_cast<Win32Native*>(container)->window_;
  if (GetParent(window_) != target) SetParent(window_, target);
  SetWindowPos(window_, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

bool Win32Native::HasFocus() const {
  HWND focus = GetFocus();
  return focus != nullptr && (focus == window_ || IsChild(window_, focus));
}

void Win32Native::TakeFocus() {
  SetFocus(window_);
}

TextExtent Win32Native::MeasureText(const TFont& font, const std::string& text,
                                    int wrap_width) const {
  const std::wstring shown = Wide(text);
  RECT box{0, 0, wrap_width > 0 ? view_.Scale(wrap_width) : 0, 0};
  HDC dc = GetDC(window_);
  HGDIOBJ old = SelectObject(dc, view_.FontFor(font));
  DrawTextW(dc, shown.c_str(), static_cast<int>(shown.size()), &box,
            DT_CALCRECT | DT_NOPREFIX | (wrap_width > 0 ? DT_WORDBREAK : DT_SINGLELINE));
  SelectObject(dc, old);
  ReleaseDC(window_, dc);
  return {view_.Unscale(box.right), view_.Unscale(box.bottom)};
}

COLORREF Win32Native::TextColour() const {
  // TColor and COLORREF share their layout: 0x00BBGGRR.
  return colour_ == clWindowText ? GetSysColor(COLOR_WINDOWTEXT) : static_cast<COLORREF>(colour_);
}

HBRUSH Win32Native::Colours(HDC dc, HWND container) const {
  SetTextColor(dc, TextColour());
  if (background_ == Background::kFace) {
    // A text on a coloured panel stands on the panel's colour, not on a
    // grey box of the system's face.
    const Win32Native* panel = Of(container);
    COLORREF face = 0;
    if (HBRUSH brush = panel != nullptr && panel->Messages() != nullptr
                           ? panel->Messages()->FaceBrush(face)
                           : nullptr) {
      SetBkColor(dc, face);
      return brush;
    }
  }
  const int background = background_ == Background::kField ? COLOR_WINDOW : COLOR_BTNFACE;
  SetBkColor(dc, GetSysColor(background));
  return GetSysColorBrush(background);
}

LRESULT CALLBACK ContainerWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_COMMAND:
      // A control's notification: its binding acts on it. The binding may go
      // away meanwhile (a handler frees its control), so nothing follows.
      if (Win32Native* child = Win32Native::Of(reinterpret_cast<HWND>(lparam))) {
        if (Win32Messages* messages = child->Messages()) messages->Command(HIWORD(wparam));
        return 0;
      }
      break;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORLISTBOX:
      if (Win32Native* child = Win32Native::Of(reinterpret_cast<HWND>(lparam)))
        return reinterpret_cast<LRESULT>(child->Colours(reinterpret_cast<HDC>(wparam), window));
      break;
    default:
      break;
  }
  if (Win32Native* self = Win32Native::Of(window))
    if (Win32Messages* messages = self->Messages()) {
      LRESULT result = 0;
      if (messages->Handle(message, wparam, lparam, result)) return result;
    }
  return DefWindowProcW(window, message, wparam, lparam);
}

}  // namespace tk
