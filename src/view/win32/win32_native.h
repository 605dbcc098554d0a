#pragma once
// A window of the system's own controls as the native of a control: what
// every window does, whatever its kind. Its parent window passes the
// control's notifications (WM_COMMAND, colours) back to it, and it hands
// them to the binding that listens.
#include <memory>
#include <string>

#include "view/core/control_binding.h"
#include "view/core/native_control.h"
#include "view/win32/win32_api.h"
#include "view/win32/win32_text.h"

namespace tk {

class Win32FormView;

// What a binding does with the messages of its window.
class Win32Messages {
 public:
  virtual ~Win32Messages() = default;
  // A WM_COMMAND notification code of the window, from its parent window.
  virtual void Command(WORD /*code*/) {}
  // A message to a window of the program's own classes (form, panel); true
  // when handled, with `result` set.
  virtual bool Handle(UINT /*message*/, WPARAM, LPARAM, LRESULT& /*result*/) { return false; }
  // A container with a face of its own colour: the brush of that face, which
  // the texts standing on it take as their background; nullptr for the
  // system's face.
  virtual HBRUSH FaceBrush(COLORREF& /*colour*/) { return nullptr; }
};

class Win32Native : public NativeControl {
 public:
  // What the window's text stands on: the face of the panel or window
  // behind it, or a field's own background.
  enum class Background { kFace, kField };
  // A window the native `owns` is destroyed with it; the view's window is not.
  Win32Native(Win32FormView& view, HWND window, Background background = Background::kFace,
              bool owns = true);
  ~Win32Native() override;

  HWND Window() const { return window_; }
  // The native of a window made for a binding; nullptr for any other window.
  static Win32Native* Of(HWND window);
  static Win32Native& Of(const ControlBinding& binding) {
    return static_cast<Win32Native&>(binding.Native());
  }
  void Listen(Win32Messages* messages) { messages_ = messages; }
  Win32Messages* Messages() const { return messages_; }

  void SetBounds(int left, int top, int width, int height) override;
  void SetVisible(bool visible) override;
  void SetEnabled(bool enabled) override;
  void SetFont(const TFont& font) override;
  void MoveInto(NativeControl* container) override;
  bool HasFocus() const override;
  void TakeFocus() override;
  TextExtent MeasureText(const TFont& font, const std::string& text, int wrap_width) const override;

  // The font its text is shown in, and that font's colour (or the system's).
  HFONT ShownFont() const { return font_; }
  COLORREF TextColour() const;
  // WM_CTLCOLOR* of the window: sets the colours on `dc`, returns the
  // background brush. `container` is the window it stands in.
  HBRUSH Colours(HDC dc, HWND container) const;
  Win32FormView& View() const { return view_; }

 private:
  Win32FormView& view_;
  HWND window_;
  Background background_;
  bool owns_;
  Win32Messages* messages_ = nullptr;
  HFONT font_ = nullptr;
  TColor colour_ = clWindowText;
};

// A child window of a system or program class, hidden until its control says.
HWND CreateChildWindow(const wchar_t* window_class, DWORD style, DWORD ex_style, HWND parent);

// The window procedure of the program's containers (form, panels): passes
// notifications of child windows to their bindings, and other messages to
// the container's own binding.
LRESULT CALLBACK ContainerWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

}  // namespace tk
