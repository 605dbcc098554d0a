#pragma once
// A drop-down list with an editable text: items, text, selection, the open
// list, and the operator's picks.
#include "view/win32/win32_control_binding.h"

namespace tk {

class Win32ComboBinding : public Win32Binding {
 public:
  Win32ComboBinding(Win32FormView& view, TComboBox& combo, HWND parent);
  void Command(WORD code) override;
  HBRUSH Colours(HDC dc) override;

 protected:
  void Apply(Change change) override;
  void ApplyGeometry() override;
  HFONT ShownFont() override;

 private:
  void ShowItems();
  void ShowSelection();
  void ShowDroppedDown();
  TComboBox& combo_;
};

}  // namespace tk
