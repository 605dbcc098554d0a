#pragma once
// What a view of a form offers its program, whatever the toolkit: the window
// shown, and controls made later bound. A toolkit's view derives from it,
// makes its windows, and then starts the core with the form's binding.
#include <memory>

#include "view/core/binding_maker.h"
#include "view/core/form_view_core.h"

namespace tk {

class FormView {
 public:
  virtual ~FormView();
  FormView(const FormView&) = delete;
  FormView& operator=(const FormView&) = delete;

  // Shows the window (while the form is visible).
  void Show() { core_->Show(); }
  // Controls made after the view are not announced by the model: a form
  // that makes controls later calls this once they are placed.
  void BindNewControls() { core_->BindNewControls(); }

  FormViewCore& Core() const { return *core_; }

 protected:
  // `maker` makes the toolkit's bindings of the kinds of control.
  FormView(TForm& form, std::unique_ptr<BindingMaker> maker);
  // The bindings go, children before their parents and the form last: a
  // view calls this first when it goes, while its windows are still there.
  void Close() { core_.reset(); }

 private:
  std::unique_ptr<BindingMaker> maker_;
  std::unique_ptr<FormViewCore> core_;
};

}  // namespace tk
