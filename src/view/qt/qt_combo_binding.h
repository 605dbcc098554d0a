#pragma once
// The Qt widget of a drop-down list with an editable text.
#include "view/core/combo_binding.h"
#include "view/qt/qt_native.h"

namespace tk {

class QtFormView;

class QtComboBinding : public ComboBinding {
 public:
  QtComboBinding(QtFormView& view, TComboBox& combo, NativeControl* container);

 protected:
  void ShowItems(const std::vector<std::string>& items) override;
  void ShowSelection(int index, const std::string& text) override;
  void ShowDroppedDown(bool open) override;
  void ShowAutoDropDown(bool on) override;
  int TextRoom(int width) const override;

 private:
  class Box;
};

}  // namespace tk
