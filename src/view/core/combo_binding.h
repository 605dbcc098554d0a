#pragma once
// A drop-down list with an editable text: its entries, text and selection,
// the open list, and the operator's picks and typing. Its font steps down
// where its longest entry would not fit the box (caption_fit.h).
#include <string>
#include <vector>

#include "view/core/control_binding.h"

namespace tk {

class ComboBinding : public ControlBinding {
 public:
  using Bound = TComboBox;
  ComboBinding(FormViewCore& view, TComboBox& combo, std::unique_ptr<NativeControl> native);
  bool TakesFocus() const override { return true; }

 protected:
  void Apply(Change change) override;
  TFont ShownFont() const override;

  virtual void ShowItems(const std::vector<std::string>& items) = 0;
  // The selected entry (-1: none) and the text in the box.
  virtual void ShowSelection(int index, const std::string& text) = 0;
  // The list is to be open: only over a box the operator can see and use.
  virtual void ShowDroppedDown(bool open) = 0;
  // The list opens by itself as the operator types.
  virtual void ShowAutoDropDown(bool on) = 0;
  // Pixels of the text's room in a box `width` wide.
  virtual int TextRoom(int width) const = 0;

  // What the native reports of the operator (never its echo of the model).
  void Picked(int index);
  void Typed(const std::string& text);
  void ListOpened(bool open);

  const TComboBox& Combo() const { return combo_; }

 private:
  TComboBox& combo_;
};

}  // namespace tk
