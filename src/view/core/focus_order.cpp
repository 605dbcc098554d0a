#include "view/core/focus_order.h"

#include <algorithm>
#include <vector>

namespace tk {

namespace {

void Flatten(const TControl& parent, std::vector<const TControl*>& order) {
  for (const TControl* child : parent.Children()) {
    order.push_back(child);
    Flatten(*child, order);
  }
}

}  // namespace

bool Reachable(const TControl& control) {
  for (const TControl* c = &control; c != nullptr; c = c->Parent())
    if (!c->Visible() || !c->Enabled()) return false;
  return true;
}

const TControl* NextInFocusOrder(const TControl& root, const TControl* from, bool forward,
                                 const std::function<bool(const TControl&)>& takes_focus) {
  std::vector<const TControl*> order;
  Flatten(root, order);
  if (!forward) std::reverse(order.begin(), order.end());
  const auto size = static_cast<ptrdiff_t>(order.size());
  const ptrdiff_t at = std::find(order.begin(), order.end(), from) - order.begin();
  // From a control that is not there, the search starts at the first.
  const ptrdiff_t start = at == size ? 0 : at + 1;
  for (ptrdiff_t i = 0; i < size; ++i) {
    const TControl* candidate = order[static_cast<size_t>((start + i) % size)];
    if (takes_focus(*candidate) && Reachable(*candidate)) return candidate;
  }
  return nullptr;
}

}  // namespace tk
