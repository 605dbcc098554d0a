#pragma once
// The Qt window of a form: every control of the form gets a widget of its
// kind, placed with the control's geometry inside its parent's widget, and
// follows every change of the control as the view core decides. Clicks,
// picks, typed text, keys and closing the window go back to the controls.
#include <QWidget>
#include <memory>

#include "toolkit/controls.h"
#include "view/core/form_view.h"

namespace tk {

class FormWindow;

class QtFormView : public FormView {
 public:
  // Makes the widgets of the form's controls: its children, their children,
  // and every control the form owns (shown once parented into the form).
  explicit QtFormView(TForm& form);
  ~QtFormView() override;

  QWidget& Window() const;
  // The widget of a control; nullptr for one the view does not show.
  QWidget* WidgetOf(const TControl& control) const;

  // For the bindings: where the widget of a new control goes (inside its
  // container's widget, or out of sight), and its native.
  QWidget* ParentFor(NativeControl* container) const;
  std::unique_ptr<NativeControl> Adopt(QWidget* widget) const;
  // A binding whose control has gone (BindingMaker::Retire).
  void Retire(std::unique_ptr<ControlBinding> binding);

 private:
  std::unique_ptr<QWidget> holder_;  // never shown: widgets of controls without a parent
  std::unique_ptr<FormWindow> window_;
};

}  // namespace tk
