#include "toolkit/component.h"

#include <algorithm>
#include <cctype>

#include "toolkit/same_text.h"

namespace tk {

namespace {

void Erase(std::vector<TComponent*>& list, TComponent* c) {
  list.erase(std::remove(list.begin(), list.end(), c), list.end());
}

}  // namespace

TComponent::TComponent(TComponent* owner) {
  if (owner != nullptr) owner->InsertComponent(this);
}

TComponent::~TComponent() {
  Destroying();
  // Everyone linked by a free notification hears of the removal once, and
  // forgets this component before it goes.
  std::vector<TComponent*> linked;
  linked.swap(free_notifies_);
  for (TComponent* other : linked) {
    Erase(other->free_notifies_, this);
    other->Notification(this, TOperation::opRemove);
  }
  // Owned components go last-made first, as their own destructors unregister.
  while (!owned_.empty()) {
    std::unique_ptr<TComponent> last = std::move(owned_.back());
    owned_.pop_back();
    last.reset();
  }
  // Components registered but not owned (members of a derived owner) are
  // already gone; any left over simply lose their owner.
  for (TComponent* c : components_) c->owner_ = nullptr;
  components_.clear();
  if (owner_ != nullptr) owner_->RemoveComponent(this);
}

void TComponent::SetDesigning(bool on) {
  state_ = on ? (state_ | csDesigning) : (state_ & ~uint32_t{csDesigning});
}

void TComponent::SetLoading(bool on) {
  state_ = on ? (state_ | csLoading) : (state_ & ~uint32_t{csLoading});
}

TComponent* TComponent::FindComponent(const std::string& name) const {
  if (name.empty()) return nullptr;
  for (TComponent* c : components_)
    if (SameText(c->Name(), name)) return c;
  return nullptr;
}

void TComponent::FreeNotification(TComponent* other) {
  if (other == nullptr || other == this) return;
  // Kept on both sides, so whichever goes first can tell or unlink the other.
  if (std::find(free_notifies_.begin(), free_notifies_.end(), other) == free_notifies_.end())
    free_notifies_.push_back(other);
  if (std::find(other->free_notifies_.begin(), other->free_notifies_.end(), this) ==
      other->free_notifies_.end())
    other->free_notifies_.push_back(this);
}

void TComponent::RemoveFreeNotification(TComponent* other) {
  if (other == nullptr) return;
  Erase(free_notifies_, other);
  Erase(other->free_notifies_, this);
}

void TComponent::Loaded() {
  SetLoading(false);
}

void TComponent::Notification(TComponent* component, TOperation operation) {
  if (operation == TOperation::opRemove && component != nullptr) RemoveFreeNotification(component);
  // A copy: a handler may free or make components while we walk the list.
  const std::vector<TComponent*> children = components_;
  for (TComponent* c : children)
    if (c != component) c->Notification(component, operation);
}

void TComponent::InsertComponent(TComponent* c) {
  c->owner_ = this;
  if (!HasState(csDestroying)) Notification(c, TOperation::opInsert);
  components_.push_back(c);
}

void TComponent::RemoveComponent(TComponent* c) {
  Erase(components_, c);
  for (auto it = owned_.begin(); it != owned_.end(); ++it) {
    if (it->get() == c) {
      // Leaving this owner by hand (Own() elsewhere): no longer ours to free.
      (void)it->release();
      owned_.erase(it);
      break;
    }
  }
  c->owner_ = nullptr;
  // An owner being torn down is no longer told: its derived part may be gone.
  if (!HasState(csDestroying)) Notification(c, TOperation::opRemove);
}

}  // namespace tk
