#pragma once
// A drop-down list with an editable text: items, text, selection, the open
// list, and the operator's picks.
#include "view/qt/control_binding.h"

namespace tk {

class ComboBinding : public ControlBinding {
 public:
  ComboBinding(QtFormView& view, TComboBox& combo, QWidget* parent);

 protected:
  void Apply(Change change) override;

 private:
  void ShowSelection();
  TComboBox& combo_;
};

}  // namespace tk
