#pragma once
// TComponent: named objects with an owner. An owner frees the components it
// was given to own, tells interested components when one is removed, and calls
// Loaded after its definition has been read.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "toolkit/persistent.h"

namespace tk {

enum ComponentStateFlag : uint32_t {
  csLoading = 1u << 0,
  csDesigning = 1u << 1,
  csDestroying = 1u << 2,
};

enum class TOperation { opInsert, opRemove };

class TComponent : public TPersistent {
 public:
  // A component made as a member of its owner registers with it (the owner
  // does not free it); one handed over with Own() is freed by the owner.
  explicit TComponent(TComponent* owner = nullptr);
  ~TComponent() override;
  TComponent(const TComponent&) = delete;
  TComponent& operator=(const TComponent&) = delete;

  std::string ClassName() const override { return "TComponent"; }

  const std::string& Name() const { return name_; }
  void SetName(const std::string& name) { name_ = name; }
  TComponent* Owner() const { return owner_; }

  uint32_t ComponentState() const { return state_; }
  bool HasState(ComponentStateFlag flag) const { return (state_ & flag) != 0; }
  void SetDesigning(bool on);
  void SetLoading(bool on);  // used by the definition reader

  // Takes ownership of a component made on the heap with this as its owner
  // (one made with another owner, or none, is moved under this one).
  template <class T>
  T* Own(std::unique_ptr<T> component) {
    T* raw = component.get();
    if (raw == nullptr) return nullptr;
    if (raw->owner_ != this) {
      if (raw->owner_ != nullptr) raw->owner_->RemoveComponent(raw);
      InsertComponent(raw);
    }
    owned_.push_back(std::move(component));
    return raw;
  }

  const std::vector<TComponent*>& Components() const { return components_; }
  TComponent* FindComponent(const std::string& name) const;

  // Asks to be told (Notification opRemove) when `other` goes away.
  void FreeNotification(TComponent* other);
  void RemoveFreeNotification(TComponent* other);

  // Called after the definition of this component has been read.
  virtual void Loaded();

 protected:
  // Told when a component of this owner, or one asked for with
  // FreeNotification, is inserted or removed. The default passes it on to the
  // components this one owns (so siblings hear of each other) and forgets a
  // removed component's free notification.
  virtual void Notification(TComponent* component, TOperation operation);
  // Marks this component csDestroying. A derived destructor may call it
  // first, so the notifications its members send are known to be teardown.
  void Destroying() { state_ |= csDestroying; }

 private:
  void InsertComponent(TComponent* c);
  void RemoveComponent(TComponent* c);

  std::string name_;
  TComponent* owner_ = nullptr;
  uint32_t state_ = 0;
  std::vector<TComponent*> components_;             // registered, in creation order
  std::vector<std::unique_ptr<TComponent>> owned_;  // freed with this component
  std::vector<TComponent*> free_notifies_;
};

}  // namespace tk
