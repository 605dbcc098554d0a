#pragma once
// What the views of a form share, whatever the toolkit: a binding for every
// control of the form (its children, their children, and every control the
// form owns), each native placed in the native of its control's parent; the
// watch on controls being freed; the room of captions; the keyboard focus in
// the order of the controls. A toolkit's view owns one, makes the bindings
// through its BindingMaker and adds the window itself.
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <vector>

#include "toolkit/controls.h"
#include "view/core/binding_maker.h"
#include "view/core/form_binding.h"

namespace tk {

class FormViewCore {
 public:
  FormViewCore(TForm& form, BindingMaker& maker);
  // Children before their parents, the form last.
  ~FormViewCore();
  FormViewCore(const FormViewCore&) = delete;
  FormViewCore& operator=(const FormViewCore&) = delete;

  // Takes the form's binding (the view's window) and binds every control.
  void Start(std::unique_ptr<FormBinding> form_binding);
  // Shows the window (while the form is visible).
  void Show();
  // Controls made after the view are not announced by the model: a form
  // that makes controls later calls this once they are placed.
  void BindNewControls();

  // The binding of a control; nullptr for one the view does not show.
  ControlBinding* BindingOf(const TControl& control) const;
  // nullptr once the form has gone.
  FormBinding* Form() const { return form_binding_; }

  // Moves a binding's native into the native of its control's parent.
  void Reparent(ControlBinding& binding);
  // Labels beside `control` (in its parent) and inside it fit their
  // captions into their room again.
  void RefitCaptionsAround(const TControl& control);

  // Runs `change`, which may hide or disable the binding's native. Where the
  // keyboard focus was on it and no control has it afterwards, it goes on to
  // the next control, as the operator's Tab would take it.
  void KeepingFocus(ControlBinding& binding, const std::function<void()>& change);
  // The binding of the control that has the keyboard focus; nullptr: none.
  ControlBinding* FocusedBinding() const;
  // The next control after `from` (before it, when !forward) in the order of
  // the controls, around the end, that takes the focus and that the operator
  // can reach: shown and enabled. From nullptr: the first (or last) one.
  ControlBinding* NextFocus(const TControl* from, bool forward) const;
  // Moves the focus to NextFocus(from, forward); false when none takes it.
  bool MoveFocus(const TControl* from, bool forward);

 private:
  class Watcher;
  ControlBinding* Bind(TControl& control);
  void BindOwned(const TComponent& owner);
  ControlBinding* ContainerFor(TControl* parent);
  void Forget(TComponent* component);

  TForm& form_;
  BindingMaker& maker_;
  std::unique_ptr<Watcher> watcher_;
  std::map<const TComponent*, std::unique_ptr<ControlBinding>> bindings_;
  std::vector<const TComponent*> order_;   // as bound: parents before children
  std::set<const TControl*> binding_now_;  // guards against parent cycles
  FormBinding* form_binding_ = nullptr;
};

}  // namespace tk
