#pragma once
// The form as a top-level window: fixed client size with a single border,
// close and system menu only, its caption as title, closing through the
// form, and the form's look at the keys before the focused control.
#include "view/win32/win32_control_binding.h"

namespace tk {

class Win32FormBinding : public Win32Binding {
 public:
  Win32FormBinding(Win32FormView& view, TForm& form, HWND window);
  ~Win32FormBinding() override;
  // Until the view is shown, the window stays hidden whatever the form says.
  void SetShown(bool shown);
  bool Handle(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result) override;
  // A key press meant for a window of the form: the form sees it first. True
  // when a handler took it (cleared the key), so the control never sees it.
  bool PreviewKey(const MSG& message);

 protected:
  void Apply(Change change) override;
  void ApplyGeometry() override;
  void ApplyVisible() override;

 private:
  void ApplyStyle();
  void SetPreview(bool on);
  TForm& form_;
  bool shown_ = false;
  bool placed_ = false;  // the window has been placed on the screen once
  bool previewing_ = false;
};

// The window styles of a form with this border.
DWORD Win32FormStyle(TBorderStyle border);

// The window class of forms.
extern const wchar_t kWin32FormClass[];

}  // namespace tk
