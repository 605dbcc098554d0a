#pragma once
// One control of the model and the widget that shows it. The binding follows
// every change of the control through its observer; the kinds of control
// differ only in their widget and in the properties they add.
#include <QPointer>
#include <QWidget>
#include <memory>

#include "toolkit/application.h"
#include "toolkit/controls.h"

namespace tk {

class QtFormView;

class ControlBinding {
 public:
  ControlBinding(QtFormView& view, TControl& control);
  virtual ~ControlBinding();
  ControlBinding(const ControlBinding&) = delete;
  ControlBinding& operator=(const ControlBinding&) = delete;

  TControl& Control() const { return *control_; }
  QWidget* Widget() const { return widget_; }
  // Where the widgets of child controls are placed.
  virtual QWidget* Container() const { return widget_; }

  // Brings the widget in line with every property of the control.
  void ApplyAll();
  // The control is going away: never touch it again, nor let the widget do so.
  void Detach() {
    control_ = nullptr;
    *live_ = nullptr;
  }

  // The control as the widget's signal handlers see it: empty once it is gone.
  using LiveControl = std::shared_ptr<TControl*>;
  // Runs `act` on a control that is still there, through the error report.
  template <class C, class F>
  static void Act(const LiveControl& live, F act) {
    if (TControl* control = *live) RunGuarded([&] { act(static_cast<C&>(*control)); }, control);
  }

 protected:
  // Takes the widget the derived binding made; called once, from its constructor.
  void Attach(QWidget* widget);
  // The widget follows one change; the base knows what every control has.
  virtual void Apply(Change change);
  virtual void ApplyGeometry();
  virtual void ApplyVisible();
  // The font's colour on the widget's text (TColor is 0x00BBGGRR).
  void ApplyTextColour();
  const LiveControl& Live() const { return live_; }

 private:
  QtFormView& view_;
  TControl* control_;
  LiveControl live_;
  QPointer<QWidget> widget_;
  size_t observer_ = 0;
};

// Makes the binding that suits the control's kind; its widget starts inside `parent`.
std::unique_ptr<ControlBinding> MakeBinding(QtFormView& view, TControl& control, QWidget* parent);

}  // namespace tk
