#include "view/core/control_binding.h"

#include "view/core/form_view_core.h"

namespace tk {

ControlBinding::ControlBinding(FormViewCore& view, TControl& control,
                               std::unique_ptr<NativeControl> native)
    : view_(view),
      control_(&control),
      native_(std::move(native)),
      live_(std::make_shared<TControl*>(&control)) {
  observer_ = control.AddObserver([this](TControl&, Change change) {
    if (control_ == nullptr) return;
    ++applying_;
    Apply(change);
    --applying_;
  });
}

ControlBinding::~ControlBinding() {
  if (control_ != nullptr) control_->RemoveObserver(observer_);
  // What the native still reports reaches nothing now.
  *live_ = nullptr;
}

void ControlBinding::Detach() {
  // The control is being destroyed: its observers go with it, untouched.
  control_ = nullptr;
  *live_ = nullptr;
}

void ControlBinding::OperatorClick(const LiveControl& live) {
  Act<TControl>(live, [](TControl& c) {
    if (c.Enabled()) c.Click();
  });
}

void ControlBinding::ApplyAll() {
  if (control_ == nullptr) return;
  ++applying_;
  // The font first, as text is measured in it; visibility last, so a native
  // appears with its final contents.
  for (Change change :
       {Change::Font, Change::Geometry, Change::Enabled, Change::Caption, Change::Items,
        Change::Text, Change::ItemIndex, Change::LinesCleared, Change::Gauge, Change::Bevel,
        Change::Style, Change::Color, Change::DroppedDown, Change::Visible})
    Apply(change);
  --applying_;
}

void ControlBinding::Apply(Change change) {
  switch (change) {
    case Change::Geometry:
      ShowGeometry();
      break;
    case Change::Visible:
      ShowVisible();
      break;
    case Change::Enabled:
      view_.KeepingFocus(*this, [&] { native_->SetEnabled(control_->Enabled()); });
      break;
    case Change::Font:
      ShowFont();
      break;
    case Change::Parent:
      // Into the native of the new parent, in front of its other children.
      view_.Reparent(*this);
      ShowGeometry();
      ShowVisible();
      break;
    default:
      break;  // not a property every control has
  }
  // Captions beside this control, or inside it, may have more or less room now.
  if (control_ != nullptr &&
      (change == Change::Geometry || change == Change::Parent || change == Change::Visible))
    view_.RefitCaptionsAround(*control_);
}

void ControlBinding::ShowGeometry() {
  const TControl& c = *control_;
  native_->SetBounds(c.Left(), c.Top(), c.Width(), c.Height());
}

void ControlBinding::ShowVisible() {
  view_.KeepingFocus(*this, [&] { native_->SetVisible(control_->Visible()); });
}

void ControlBinding::ShowFont() {
  if (control_ != nullptr) native_->SetFont(ShownFont());
}

}  // namespace tk
