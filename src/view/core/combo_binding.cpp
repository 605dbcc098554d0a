#include "view/core/combo_binding.h"

#include "view/core/caption_fit.h"

namespace tk {

ComboBinding::ComboBinding(FormViewCore& view, TComboBox& combo,
                           std::unique_ptr<NativeControl> native)
    : ControlBinding(view, combo, std::move(native)), combo_(combo) {}

void ComboBinding::Apply(Change change) {
  ControlBinding::Apply(change);
  switch (change) {
    case Change::Items:
      ShowItems(combo_.Items());
      // Filling a list may select an entry by itself; the control decides.
      ShowSelection(combo_.ItemIndex(), combo_.Text());
      break;
    case Change::Text:
    case Change::ItemIndex:
      ShowSelection(combo_.ItemIndex(), combo_.Text());
      break;
    case Change::DroppedDown:
    case Change::Visible:
    case Change::Enabled:
      ShowDroppedDown(combo_.DroppedDown() && combo_.Showing() && combo_.Enabled());
      break;
    case Change::Style:
      ShowAutoDropDown(combo_.AutoDropDown());
      break;
    default:
      break;
  }
  // The box shows its longest entry whole.
  if (change == Change::Items || change == Change::Geometry) ShowFont();
}

TFont ComboBinding::ShownFont() const {
  return FittingFont(combo_.Font(), combo_.Items(), TextRoom(combo_.Width()),
                     [this](const TFont& font, const std::string& text) {
                       return Native().MeasureText(font, text).width;
                     });
}

void ComboBinding::Picked(int index) {
  if (Applying()) return;
  Act<TComboBox>(Live(), [index](TComboBox& c) { c.Pick(index); });
}

void ComboBinding::Typed(const std::string& text) {
  if (Applying()) return;
  Act<TComboBox>(Live(), [&](TComboBox& c) { c.SetText(text); });
}

void ComboBinding::ListOpened(bool open) {
  if (Applying()) return;
  Act<TComboBox>(Live(), [open](TComboBox& c) { c.SetDroppedDown(open); });
}

}  // namespace tk
