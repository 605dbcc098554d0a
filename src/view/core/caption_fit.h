#pragma once
// The rule for captions that do not fit their place on this machine's faces:
// the window was laid out for faces its toolkit may lack, and no geometry of
// the window changes to suit another face. A caption that would run into its
// neighbour or out of its control takes the same face a little smaller,
// never below three quarters of the height asked for: below that, legible
// beats whole.
#include <functional>
#include <string>
#include <vector>

#include "toolkit/controls.h"

namespace tk {

// Width of a text in a font, as the toolkit shows it.
using TextWidthOf = std::function<int(const TFont& font, const std::string& text)>;

// The smallest height a caption's font may take.
int SmallestFittingHeight(int height);

// `font`, or the largest of its smaller sizes in which the widest of `texts`
// fits into `room` pixels (down to SmallestFittingHeight).
TFont FittingFont(const TFont& font, const std::vector<std::string>& texts, int room,
                  const TextWidthOf& width_of);

// Between a label and the control beside it.
constexpr int kLabelGap = 3;

// The room of a label's caption that does not wrap: up to the nearest shown
// control to its right in its parent (less a small gap), or else to its
// parent's edge; never less than the label's own width. 0 for a label without
// a parent, which has all the room it needs.
int LabelRoom(const TLabel& label);

}  // namespace tk
