#pragma once
// The order in which the keyboard focus visits the controls of a window: the
// order of the controls, depth first, each parent's children as they were
// placed into it.
#include <functional>

#include "toolkit/controls.h"

namespace tk {

// The operator can reach the control: it and every parent shown and enabled.
bool Reachable(const TControl& control);

// The control after `from` (before it, when !forward) under `root`, around
// the end, that `takes_focus` and is Reachable; from nullptr or a control
// not under `root`: the first (or last) one. nullptr when there is none.
const TControl* NextInFocusOrder(const TControl& root, const TControl* from, bool forward,
                                 const std::function<bool(const TControl&)>& takes_focus);

}  // namespace tk
