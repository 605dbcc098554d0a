#pragma once
// One control of the model and the native window that shows it. The binding
// follows every change of the control through its observer; the parent
// window passes the control's notifications (WM_COMMAND, colours) back to
// it. The kinds of control differ only in their window and the properties
// they add.
#include <memory>
#include <string>

#include "toolkit/application.h"
#include "toolkit/controls.h"
#include "view/win32/win32_api.h"

namespace tk {

class Win32FormView;

class Win32Binding {
 public:
  Win32Binding(Win32FormView& view, TControl& control);
  virtual ~Win32Binding();
  Win32Binding(const Win32Binding&) = delete;
  Win32Binding& operator=(const Win32Binding&) = delete;

  TControl& Control() const { return *control_; }
  HWND Window() const { return window_; }
  // Where the windows of child controls are placed.
  virtual HWND Container() const { return window_; }

  // Brings the window in line with every property of the control.
  void ApplyAll();
  // The control is going away: never touch it again.
  void Detach();

  // A WM_COMMAND notification code of this control, from its parent window.
  virtual void Command(WORD /*code*/) {}
  // WM_CTLCOLOR* of this control: sets the colours on `dc`, returns the
  // background brush (nullptr: the system's default).
  virtual HBRUSH Colours(HDC dc);
  // A message to a window of the program's own classes (form, panel); true
  // when handled, with `result` set.
  virtual bool Handle(UINT /*message*/, WPARAM, LPARAM, LRESULT& /*result*/) { return false; }

  // The binding of a window made by a binding; nullptr for any other.
  static Win32Binding* Of(HWND window);

  // The control as notifications see it: empty once it is gone.
  using LiveControl = std::shared_ptr<TControl*>;
  // Runs `act` on a control that is still there, through the error report.
  template <class C, class F>
  static void Act(const LiveControl& live, F act) {
    if (TControl* control = *live) RunGuarded([&] { act(static_cast<C&>(*control)); }, control);
  }

 protected:
  // Takes the window the derived binding made; called once, from its constructor.
  void Attach(HWND window);
  // The window follows one change; the base knows what every control has.
  virtual void Apply(Change change);
  virtual void ApplyGeometry();
  virtual void ApplyVisible();
  Win32FormView& View() const { return view_; }
  const LiveControl& Live() const { return live_; }
  // A change of the model is being shown: notifications it causes are echoes.
  bool Applying() const { return applying_ > 0; }
  // The font's colour, or the system's text colour.
  COLORREF TextColour() const;
  // The font the window shows its text in: the control's, or a smaller one
  // of the same face where the text would not fit.
  virtual HFONT ShownFont();
  // Gives the window the shown font, when it has another one.
  void ApplyFont();

 private:
  Win32FormView& view_;
  TControl* control_;
  LiveControl live_;
  HWND window_ = nullptr;
  size_t observer_ = 0;
  int applying_ = 0;
  HFONT font_ = nullptr;
};

// Makes the binding that suits the control's kind; its window starts inside `parent`.
std::unique_ptr<Win32Binding> MakeWin32Binding(Win32FormView& view, TControl& control, HWND parent);

// A child window of a system or program class, hidden until its control says.
HWND CreateChildWindow(const wchar_t* window_class, DWORD style, DWORD ex_style, HWND parent);

// The window procedure of the program's containers (form, panels): passes
// notifications of child windows to their bindings, and other messages to
// the container's own binding.
LRESULT CALLBACK ContainerWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

std::wstring Wide(const std::string& text);
std::string Utf8(const std::wstring& text);
// The whole text of a window.
std::wstring WindowText(HWND window);

}  // namespace tk
