#include "view/core/caption_fit.h"

#include <algorithm>

namespace tk {

int SmallestFittingHeight(int height) {
  // Three quarters, rounded up; and never a size too small to read at all.
  return std::min(height, std::max((height * 3 + 3) / 4, 8));
}

TFont FittingFont(const TFont& font, const std::vector<std::string>& texts, int room,
                  const TextWidthOf& width_of) {
  TFont fitted = font;
  const int smallest = SmallestFittingHeight(font.height);
  for (;;) {
    int widest = 0;
    for (const std::string& text : texts) widest = std::max(widest, width_of(fitted, text));
    if (widest <= room || fitted.height <= smallest) return fitted;
    --fitted.height;
  }
}

int LabelRoom(const TLabel& label) {
  const TControl* parent = label.Parent();
  if (parent == nullptr) return 0;
  int limit = parent->Width();
  const int top = label.Top(), bottom = label.Top() + label.Height();
  for (const TControl* other : parent->Children()) {
    if (other == &label || !other->Visible()) continue;
    const bool beside = other->Top() < bottom && other->Top() + other->Height() > top;
    if (beside && other->Left() > label.Left()) limit = std::min(limit, other->Left());
  }
  return std::max(limit - kLabelGap - label.Left(), label.Width());
}

}  // namespace tk
