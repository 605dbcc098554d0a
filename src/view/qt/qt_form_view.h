#pragma once
// The Qt window of a form: every control of the form gets a widget of its
// kind, placed with the control's absolute geometry inside its parent's
// widget, and follows every change of the control. Clicks, picks, typed text,
// keys and closing the window go back to the controls.
#include <QWidget>
#include <map>
#include <memory>
#include <set>

#include "toolkit/controls.h"

namespace tk {

class ControlBinding;
class FormBinding;
class FormWindow;

class QtFormView {
 public:
  // Makes the widgets of the form's controls: its children, their children,
  // and every control the form owns (shown once parented into the form).
  explicit QtFormView(TForm& form);
  ~QtFormView();
  QtFormView(const QtFormView&) = delete;
  QtFormView& operator=(const QtFormView&) = delete;

  // Shows the window (while the form is visible).
  void Show();
  // Controls made after the view are not announced by the model: a form
  // that makes controls later calls this once they are placed.
  void BindNewControls();
  QWidget& Window() const;
  // The widget of a control; nullptr for one the view does not show.
  QWidget* WidgetOf(const TControl& control) const;

  // Moves a binding's widget into the widget of its control's parent.
  void Reparent(ControlBinding& binding);

 private:
  class Watcher;
  ControlBinding* Bind(TControl& control);
  void BindOwned(const TComponent& owner);
  QWidget* ContainerFor(TControl* parent);
  void Forget(TComponent* component);

  TForm& form_;
  std::unique_ptr<QWidget> holder_;  // never shown: widgets of controls without a parent
  std::unique_ptr<FormWindow> window_;
  std::unique_ptr<Watcher> watcher_;
  std::map<const TComponent*, std::unique_ptr<ControlBinding>> bindings_;
  std::set<const TControl*> binding_now_;  // guards against parent cycles
  FormBinding* form_binding_ = nullptr;
};

}  // namespace tk
