#pragma once
// The form as a top-level window: its caption as the title, its border and
// key preview, closing through the form, and the form's look at each key
// before the focused control.
#include <string>

#include "view/core/control_binding.h"

namespace tk {

class FormBinding : public ControlBinding {
 public:
  FormBinding(FormViewCore& view, TForm& form, std::unique_ptr<NativeControl> window);
  // Until the view is shown, the window stays hidden whatever the form says.
  void SetShown(bool shown);

  // The operator asks the window to close: the form closes, unless it
  // says no. True when the window may go.
  bool CloseRequested();
  // The operator gave the window another client size.
  void Resized(int width, int height);
  // A key press meant for a control of the window: the form sees it first.
  // True when a handler took it (cleared the key): the control never sees it.
  bool PreviewKey(uint16_t key, TShiftState shift);

 protected:
  void Apply(Change change) override;
  void ShowVisible() override;
  // The form's size is its client size; the window adds its frame.
  void ShowGeometry() override = 0;
  virtual void ShowTitle(const std::string& title) = 0;
  // Border style and key preview.
  virtual void ShowStyle() = 0;
  virtual void ShowWindow(bool visible) = 0;
  const TForm& Form() const { return form_; }

 private:
  TForm& form_;
  bool shown_ = false;
};

}  // namespace tk
