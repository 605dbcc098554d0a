#include "view/win32/win32_control_binding.h"

#include <stdexcept>

#include "platform/wide_text_win32.h"
#include "view/win32/win32_form_view.h"

namespace tk {

namespace {

// A binding's windows carry it in their user data, under this mark, so a
// window of another kind is never taken for one.
constexpr wchar_t kBindingProperty[] = L"QuarnelBinding";

}  // namespace

std::wstring Wide(const std::string& text) {
  return platform::WideFromUtf8(text);
}

std::string Utf8(const std::wstring& text) {
  return platform::Utf8FromWide(text);
}

std::wstring WindowText(HWND window) {
  const int length = GetWindowTextLengthW(window);
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  text.resize(static_cast<size_t>(GetWindowTextW(window, text.data(), length + 1)));
  return text;
}

HWND CreateChildWindow(const wchar_t* window_class, DWORD style, DWORD ex_style, HWND parent) {
  HWND window = CreateWindowExW(ex_style, window_class, L"",
                                WS_CHILD | WS_CLIPSIBLINGS | (style & ~WS_VISIBLE), 0, 0, 0, 0,
                                parent, nullptr, GetModuleHandleW(nullptr), nullptr);
  if (window == nullptr) throw std::runtime_error("A window of the main window cannot be made");
  return window;
}

Win32Binding::Win32Binding(Win32FormView& view, TControl& control)
    : view_(view), control_(&control), live_(std::make_shared<TControl*>(&control)) {}

Win32Binding::~Win32Binding() {
  if (control_ != nullptr && observer_ != 0) control_->RemoveObserver(observer_);
  if (window_ != nullptr) {
    RemovePropW(window_, kBindingProperty);
    if (window_ != view_.Window()) DestroyWindow(window_);
  }
}

Win32Binding* Win32Binding::Of(HWND window) {
  return window == nullptr ? nullptr
                           : static_cast<Win32Binding*>(GetPropW(window, kBindingProperty));
}

void Win32Binding::Attach(HWND window) {
  window_ = window;
  SetPropW(window, kBindingProperty, this);
  observer_ = control_->AddObserver([this](TControl&, Change change) {
    if (window_ == nullptr) return;
    ++applying_;
    Apply(change);
    --applying_;
  });
}

void Win32Binding::Detach() {
  if (window_ != nullptr) RemovePropW(window_, kBindingProperty);
  control_ = nullptr;
  *live_ = nullptr;
}

void Win32Binding::ApplyAll() {
  if (window_ == nullptr || control_ == nullptr) return;
  ++applying_;
  // Visibility last, so a window appears with its final contents.
  for (Change change :
       {Change::Font, Change::Geometry, Change::Enabled, Change::Caption, Change::Items,
        Change::Text, Change::ItemIndex, Change::LinesCleared, Change::Gauge, Change::Bevel,
        Change::Style, Change::DroppedDown, Change::Visible})
    Apply(change);
  --applying_;
}

void Win32Binding::Apply(Change change) {
  switch (change) {
    case Change::Geometry:
      ApplyGeometry();
      break;
    case Change::Visible:
      ApplyVisible();
      break;
    case Change::Enabled:
      EnableWindow(window_, control_->Enabled() ? TRUE : FALSE);
      break;
    case Change::Font:
      ApplyFont();
      break;
    case Change::Parent:
      // Placed in the window of the new parent, in front of its other children.
      view_.Reparent(*this);
      ApplyGeometry();
      ApplyVisible();
      break;
    default:
      break;  // not a property every control has
  }
  // Labels beside this control may have more or less room now.
  if ((change == Change::Geometry || change == Change::Parent || change == Change::Visible) &&
      control_ != nullptr)
    view_.RefitLabelsBeside(*control_);
}

HFONT Win32Binding::ShownFont() {
  return view_.FontFor(control_->Font());
}

void Win32Binding::ApplyFont() {
  if (control_ == nullptr) return;
  HFONT font = ShownFont();
  if (font == font_) return;
  font_ = font;
  SendMessageW(window_, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
}

void Win32Binding::ApplyGeometry() {
  const TControl& c = *control_;
  SetWindowPos(window_, nullptr, view_.Scale(c.Left()), view_.Scale(c.Top()),
               view_.Scale(c.Width()), view_.Scale(c.Height()), SWP_NOZORDER | SWP_NOACTIVATE);
}

void Win32Binding::ApplyVisible() {
  ShowWindow(window_, control_->Visible() ? SW_SHOWNA : SW_HIDE);
}

COLORREF Win32Binding::TextColour() const {
  const TColor colour = control_ == nullptr ? clWindowText : control_->Font().color;
  // TColor and COLORREF share their layout: 0x00BBGGRR.
  return colour == clWindowText ? GetSysColor(COLOR_WINDOWTEXT) : static_cast<COLORREF>(colour);
}

HBRUSH Win32Binding::Colours(HDC dc) {
  // Text in the font's colour on the face of the panel or window behind it.
  SetTextColor(dc, TextColour());
  SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
  return GetSysColorBrush(COLOR_BTNFACE);
}

LRESULT CALLBACK ContainerWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_COMMAND:
      // A control's notification: its binding acts on it. The binding may go
      // away meanwhile (a handler frees its control), so nothing follows.
      if (Win32Binding* child = Win32Binding::Of(reinterpret_cast<HWND>(lparam))) {
        child->Command(HIWORD(wparam));
        return 0;
      }
      break;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORLISTBOX:
      if (Win32Binding* child = Win32Binding::Of(reinterpret_cast<HWND>(lparam)))
        if (HBRUSH brush = child->Colours(reinterpret_cast<HDC>(wparam)))
          return reinterpret_cast<LRESULT>(brush);
      break;
    default:
      break;
  }
  if (Win32Binding* self = Win32Binding::Of(window)) {
    LRESULT result = 0;
    if (self->Handle(message, wparam, lparam, result)) return result;
  }
  return DefWindowProcW(window, message, wparam, lparam);
}

}  // namespace tk
