#include "view/core/form_binding.h"

namespace tk {

FormBinding::FormBinding(FormViewCore& view, TForm& form, std::unique_ptr<NativeControl> window)
    : ControlBinding(view, form, std::move(window)), form_(form) {}

void FormBinding::SetShown(bool shown) {
  shown_ = shown;
  ShowVisible();
}

bool FormBinding::CloseRequested() {
  const LiveControl live = Live();
  bool closed = true;
  Act<TForm>(live, [&closed](TForm& form) {
    if (!form.Closed()) form.Close();
    closed = form.Closed();
  });
  return closed;
}

void FormBinding::Resized(int width, int height) {
  if (Applying()) return;
  Act<TForm>(Live(), [&](TForm& form) {
    if (form.BorderStyle() == TBorderStyle::bsSizeable) form.Resized(width, height);
  });
}

bool FormBinding::PreviewKey(uint16_t key, TShiftState shift) {
  // A handler may end the form and this binding: only the copy of Live() is used.
  const LiveControl live = Live();
  Act<TForm>(live, [&](TForm& form) { form.KeyDown(key, shift); });
  return key == 0;
}

void FormBinding::Apply(Change change) {
  switch (change) {
    case Change::Caption:
      ShowTitle(form_.Caption());
      break;
    case Change::Style:
      ShowStyle();
      break;
    case Change::Parent:
      break;  // a form stays a window of its own
    default:
      ControlBinding::Apply(change);
      break;
  }
}

void FormBinding::ShowVisible() {
  if (Attached()) ShowWindow(shown_ && form_.Visible());
}

}  // namespace tk
