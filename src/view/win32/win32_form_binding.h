#pragma once
// The form as a top-level window of the system: fixed client size with a
// single border, close and system menu only, its caption as title, closing
// through the form, and the form's look at the keys before the focused
// control.
#include "view/core/form_binding.h"
#include "view/win32/win32_native.h"

namespace tk {

class Win32FormBinding : public FormBinding, private Win32Messages {
 public:
  Win32FormBinding(Win32FormView& view, TForm& form, HWND window);
  ~Win32FormBinding() override;
  HWND Window() const { return Win32Native::Of(*this).Window(); }
  // A key press meant for a window of the form, before the focused window
  // has it. True when it was taken, so the focused window never sees it.
  bool KeyPressed(const MSG& message);

 protected:
  void ShowGeometry() override;
  void ShowTitle(const std::string& title) override;
  void ShowStyle() override;
  void ShowWindow(bool visible) override;

 private:
  bool Handle(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result) override;
  void SetPreview(bool on);
  Win32FormView& view_;
  bool placed_ = false;  // the window has been placed on the screen once
  bool previewing_ = false;
};

// The window styles of a form with this border.
DWORD Win32FormStyle(TBorderStyle border);

// The window class of forms.
extern const wchar_t kWin32FormClass[];

}  // namespace tk
