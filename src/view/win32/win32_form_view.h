#pragma once
// The native window of a form on Windows: every control of the form gets a
// window of the system's own kind, placed with the control's geometry inside
// its parent's window, and follows every change of the control as the view
// core decides. Clicks, picks, typed text, keys and closing the window go
// back to the controls.
#include <memory>
#include <vector>

#include "toolkit/controls.h"
#include "view/core/form_view.h"
#include "view/win32/win32_api.h"
#include "view/win32/win32_fonts.h"

namespace tk {

class Win32FormView : public FormView {
 public:
  // Makes the windows of the form's controls: its children, their children,
  // and every control the form owns (shown once parented into the form).
  explicit Win32FormView(TForm& form);
  ~Win32FormView() override;

  HWND Window() const { return windows_.window; }
  // The window of a control; nullptr for one the view does not show.
  HWND WindowOf(const TControl& control) const;

  // For the bindings: the window a new control's window goes into (its
  // container's, or the holder, out of sight); fonts; this screen's pixels.
  HWND ParentFor(NativeControl* container) const;
  HWND Holder() const { return windows_.holder; }
  HFONT FontFor(const TFont& font) { return fonts_.Get(font); }
  // The window definition's pixels on this screen (96 dots per inch is 1:1),
  // and back.
  int Scale(int pixels) const { return MulDiv(pixels, dpi_, 96); }
  int Unscale(int pixels) const { return MulDiv(pixels, 96, dpi_); }
  // A binding whose control has gone (BindingMaker::Retire).
  void Retire(std::unique_ptr<ControlBinding> binding);

 private:
  static LRESULT CALLBACK HolderProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  void FreeRetired();

  // The form's window and the holder; they go after every binding.
  struct Windows {
    explicit Windows(TBorderStyle border);
    ~Windows();
    Windows(const Windows&) = delete;
    Windows& operator=(const Windows&) = delete;
    HWND holder = nullptr;  // never shown: windows of controls without a parent
    HWND window = nullptr;
  };

  int dpi_ = 96;
  Win32FontCache fonts_;
  Windows windows_;
  // Bindings of controls gone meanwhile, freed once their notifications are over.
  std::vector<std::unique_ptr<ControlBinding>> retired_;
};

}  // namespace tk
