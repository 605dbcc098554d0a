#pragma once
// The system's drop-down list with an editable text.
#include "view/core/combo_binding.h"
#include "view/win32/win32_native.h"

namespace tk {

class Win32ComboBinding : public ComboBinding, private Win32Messages {
 public:
  Win32ComboBinding(Win32FormView& view, TComboBox& combo, NativeControl* container);
  // Closes the list when it is open (the operator's Escape); true when it was.
  bool CloseList();

 protected:
  void Apply(Change change) override;
  void ShowGeometry() override;
  void ShowItems(const std::vector<std::string>& items) override;
  void ShowSelection(int index, const std::string& text) override;
  void ShowDroppedDown(bool open) override;
  void ShowAutoDropDown(bool) override {}  // the list opens as the operator types (Command)
  int TextRoom(int width) const override;

 private:
  void Command(WORD code) override;
  HWND Window() const { return Win32Native::Of(*this).Window(); }
  Win32FormView& view_;
};

}  // namespace tk
