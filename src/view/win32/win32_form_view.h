#pragma once
// The native window of a form on Windows: every control of the form gets a
// window of the system's own kind, placed with the control's geometry inside
// its parent's window, and follows every change of the control. Clicks,
// picks, typed text, keys and closing the window go back to the controls.
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "toolkit/controls.h"
#include "view/win32/win32_api.h"
#include "view/win32/win32_fonts.h"

namespace tk {

class Win32Binding;
class Win32FormBinding;

class Win32FormView {
 public:
  // Makes the windows of the form's controls: its children, their children,
  // and every control the form owns (shown once parented into the form).
  explicit Win32FormView(TForm& form);
  ~Win32FormView();
  Win32FormView(const Win32FormView&) = delete;
  Win32FormView& operator=(const Win32FormView&) = delete;

  // Shows the window (while the form is visible).
  void Show();
  // Controls made after the view are not announced by the model: a form
  // that makes controls later calls this once they are placed.
  void BindNewControls();
  HWND Window() const { return window_; }
  // The window of a control; nullptr for one the view does not show.
  HWND WindowOf(const TControl& control) const;

  // Labels beside `control` (in its parent) fit their captions again.
  void RefitLabelsBeside(const TControl& control);
  // Moves a binding's window into the window of its control's parent.
  void Reparent(Win32Binding& binding);
  HFONT FontFor(const TFont& font) { return fonts_.Get(font); }
  // The font, or the same face a little smaller where that is needed for the
  // widest of `texts` to fit into `width` pixels (of this screen): a caption
  // is never cut off, whatever the face this machine gives the font.
  HFONT FittingFont(const TFont& font, const std::vector<std::wstring>& texts, int width);
  // Width of `text` in `font`, in pixels of this screen.
  int TextWidth(HFONT font, const std::wstring& text);
  // The window definition's pixels on this screen (96 dots per inch is 1:1).
  int Scale(int pixels) const { return MulDiv(pixels, dpi_, 96); }

 private:
  class Watcher;
  static LRESULT CALLBACK HolderProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  Win32Binding* Bind(TControl& control);
  void BindOwned(const TComponent& owner);
  HWND ContainerFor(TControl* parent);
  void Forget(TComponent* component);
  void FreeForgotten();

  TForm& form_;
  int dpi_ = 96;
  Win32FontCache fonts_;
  HWND holder_ = nullptr;  // never shown: windows of controls without a parent
  HWND window_ = nullptr;
  std::unique_ptr<Watcher> watcher_;
  std::map<const TComponent*, std::unique_ptr<Win32Binding>> bindings_;
  std::vector<const TComponent*> order_;  // as bound: parents before children
  // Bindings of controls gone meanwhile, freed once their notifications are over.
  std::vector<std::unique_ptr<Win32Binding>> forgotten_;
  std::set<const TControl*> binding_now_;  // guards against parent cycles
  Win32FormBinding* form_binding_ = nullptr;
};

}  // namespace tk
