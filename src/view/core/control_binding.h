#pragma once
// One control of the model and the native that shows it, as every kind of
// control has it: the binding follows each change of the control through its
// observer and passes it on as a call of what the native does. A kind adds
// its own properties in a binding of its own (kind_bindings.h), and a
// toolkit's view adds to that kind only how its widget shows them.
#include <memory>

#include "toolkit/application.h"
#include "toolkit/controls.h"
#include "view/core/native_control.h"

namespace tk {

class FormViewCore;

class ControlBinding {
 public:
  ControlBinding(FormViewCore& view, TControl& control, std::unique_ptr<NativeControl> native);
  virtual ~ControlBinding();
  ControlBinding(const ControlBinding&) = delete;
  ControlBinding& operator=(const ControlBinding&) = delete;

  // The control; only while Attached().
  TControl& Control() const { return *control_; }
  bool Attached() const { return control_ != nullptr; }
  NativeControl& Native() const { return *native_; }

  // Brings the native in line with every property of the control.
  void ApplyAll();
  // The control is going away: never touch it again, nor let the native do so.
  void Detach();

  // The operator can move the keyboard focus onto controls of this kind.
  virtual bool TakesFocus() const { return false; }

  // The binding whose native this one's native is in (nullptr: none).
  ControlBinding* PlacedIn() const { return placed_in_; }
  void SetPlacedIn(ControlBinding* container) { placed_in_ = container; }

  // The control as the native's own notifications see it: empty once it or
  // this binding is gone, so a notification that finds it set may use both.
  using LiveControl = std::shared_ptr<TControl*>;
  const LiveControl& Live() const { return live_; }
  // Runs `act` on a control that is still there, through the error report.
  template <class C, class F>
  static void Act(const LiveControl& live, F act) {
    if (TControl* control = *live) RunGuarded([&] { act(static_cast<C&>(*control)); }, control);
  }
  // The operator clicked the control: its handler runs, unless the control
  // is disabled (a native may still report a click then).
  static void OperatorClick(const LiveControl& live);

 protected:
  // The native follows one change; this base knows what every control has.
  virtual void Apply(Change change);
  virtual void ShowGeometry();
  virtual void ShowVisible();
  void ShowFont();
  // The font the text is shown in: the control's, or for a caption that
  // must fit its place, the same face smaller (caption_fit.h).
  virtual TFont ShownFont() const { return control_->Font(); }

  FormViewCore& View() const { return view_; }
  // A change of the model is being shown: what the native reports meanwhile
  // is its echo, not the operator.
  bool Applying() const { return applying_ > 0; }

 private:
  FormViewCore& view_;
  TControl* control_;
  std::unique_ptr<NativeControl> native_;
  LiveControl live_;
  ControlBinding* placed_in_ = nullptr;
  size_t observer_ = 0;
  int applying_ = 0;
};

}  // namespace tk
