#pragma once
// The form as a top-level window of the system: fixed client size with a
// single border, close and system menu only, its caption as title, closing
// through the form, the form's look at the keys before the focused control,
// and the keys of the system's dialogs: the focus on the first control the
// operator can use, Tab and Shift+Tab through the controls in their order,
// Return pressing the focused button, Escape closing an open list.
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
  // Tab, Return and Escape as a dialog of the system takes them; true when
  // taken.
  bool DialogKey(uint16_t key, TShiftState shift);

 protected:
  void ShowGeometry() override;
  void ShowTitle(const std::string& title) override;
  void ShowStyle() override;
  void ShowWindow(bool visible) override;

 private:
  bool Handle(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result) override;
  // The window becomes the active one: the focus goes back to the control
  // that had it, or else to the first one.
  bool Activated();
  Win32FormView& view_;
  bool placed_ = false;  // the window has been placed on the screen once
  // The control that had the focus when the window was left.
  LiveControl last_focus_ = std::make_shared<TControl*>(nullptr);
};

// The window styles of a form with this border.
DWORD Win32FormStyle(TBorderStyle border);

// The window class of forms.
extern const wchar_t kWin32FormClass[];

}  // namespace tk
