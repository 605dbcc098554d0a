#include "view/core/form_view_core.h"

#include <algorithm>

#include "view/core/focus_order.h"
#include "view/core/kind_bindings.h"

namespace tk {

// Hears of controls being destroyed, so their natives go with them.
class FormViewCore::Watcher : public TComponent {
 public:
  explicit Watcher(FormViewCore& view) : view_(view) {}

 protected:
  void Notification(TComponent* component, TOperation operation) override {
    TComponent::Notification(component, operation);
    if (operation == TOperation::opRemove) view_.Forget(component);
  }

 private:
  FormViewCore& view_;
};

FormViewCore::FormViewCore(TForm& form, BindingMaker& maker)
    : form_(form), maker_(maker), watcher_(std::make_unique<Watcher>(*this)) {}

FormViewCore::~FormViewCore() {
  for (auto it = order_.rbegin(); it != order_.rend(); ++it) bindings_.erase(*it);
  bindings_.clear();
  watcher_.reset();
}

void FormViewCore::Start(std::unique_ptr<FormBinding> form_binding) {
  form_binding_ = form_binding.get();
  bindings_.emplace(&form_, std::move(form_binding));
  order_.push_back(&form_);
  watcher_->FreeNotification(&form_);
  form_binding_->ApplyAll();
  BindNewControls();
}

void FormViewCore::Show() {
  if (form_binding_ != nullptr) form_binding_->SetShown(true);
}

void FormViewCore::BindNewControls() {
  for (TControl* child : std::vector<TControl*>(form_.Children())) Bind(*child);
  BindOwned(form_);
}

ControlBinding* FormViewCore::BindingOf(const TControl& control) const {
  auto it = bindings_.find(&control);
  return it == bindings_.end() ? nullptr : it->second.get();
}

void FormViewCore::BindOwned(const TComponent& owner) {
  for (TComponent* component : std::vector<TComponent*>(owner.Components())) {
    if (auto* control = dynamic_cast<TControl*>(component)) Bind(*control);
    BindOwned(*component);
  }
}

ControlBinding* FormViewCore::Bind(TControl& control) {
  if (ControlBinding* bound = BindingOf(control)) return bound;
  if (binding_now_.count(&control) != 0) return nullptr;  // a parent cycle
  binding_now_.insert(&control);
  // The parent first: binding it binds its children, this one among them.
  ControlBinding* container = ContainerFor(control.Parent());
  ControlBinding* result = BindingOf(control);
  if (result == nullptr) {
    auto binding =
        MakeBinding(maker_, control, container == nullptr ? nullptr : &container->Native());
    result = binding.get();
    result->SetPlacedIn(container);
    bindings_.emplace(&control, std::move(binding));
    order_.push_back(&control);
    watcher_->FreeNotification(&control);
    result->ApplyAll();
    for (TControl* child : std::vector<TControl*>(control.Children())) Bind(*child);
  }
  binding_now_.erase(&control);
  return result;
}

ControlBinding* FormViewCore::ContainerFor(TControl* parent) {
  return parent == nullptr ? nullptr : Bind(*parent);
}

void FormViewCore::Reparent(ControlBinding& binding) {
  ControlBinding* target = ContainerFor(binding.Control().Parent());
  // A control placed inside itself cannot be shown.
  for (const ControlBinding* c = target; c != nullptr; c = c->PlacedIn())
    if (c == &binding) target = nullptr;
  binding.SetPlacedIn(target);
  binding.Native().MoveInto(target == nullptr ? nullptr : &target->Native());
}

void FormViewCore::RefitCaptionsAround(const TControl& control) {
  auto refit = [this, &control](const TControl* other) {
    if (other == &control || dynamic_cast<const TLabel*>(other) == nullptr) return;
    if (auto* label = dynamic_cast<LabelBinding*>(BindingOf(*other))) label->Refit();
  };
  if (const TControl* parent = control.Parent())
    for (const TControl* sibling : parent->Children()) refit(sibling);
  for (const TControl* child : control.Children()) refit(child);
}

void FormViewCore::KeepingFocus(ControlBinding& binding, const std::function<void()>& change) {
  const bool had_focus = binding.Native().HasFocus();
  change();
  if (!had_focus || !binding.Attached() || FocusedBinding() != nullptr) return;
  // Where the toolkit leaves the focus nowhere, the operator's keys would
  // go nowhere either.
  MoveFocus(&binding.Control(), true);
}

ControlBinding* FormViewCore::FocusedBinding() const {
  for (const auto& [component, binding] : bindings_)
    if (binding->TakesFocus() && binding->Native().HasFocus()) return binding.get();
  return nullptr;
}

ControlBinding* FormViewCore::NextFocus(const TControl* from, bool forward) const {
  const TControl* next = NextInFocusOrder(form_, from, forward, [this](const TControl& c) {
    const ControlBinding* binding = BindingOf(c);
    return binding != nullptr && binding->TakesFocus();
  });
  return next == nullptr ? nullptr : BindingOf(*next);
}

bool FormViewCore::MoveFocus(const TControl* from, bool forward) {
  ControlBinding* next = NextFocus(from, forward);
  if (next == nullptr) return false;
  next->Native().TakeFocus();
  return true;
}

void FormViewCore::Forget(TComponent* component) {
  auto it = bindings_.find(component);
  if (it == bindings_.end()) return;
  std::unique_ptr<ControlBinding> binding = std::move(it->second);
  bindings_.erase(it);
  order_.erase(std::remove(order_.begin(), order_.end(), component), order_.end());
  binding->Detach();
  if (binding.get() == form_binding_) form_binding_ = nullptr;
  // Natives of other controls inside it outlive it, out of sight as their
  // controls are without a parent.
  for (auto& [control, other] : bindings_) {
    if (other->PlacedIn() != binding.get()) continue;
    other->Native().SetVisible(false);
    other->SetPlacedIn(nullptr);
    other->Native().MoveInto(nullptr);
  }
  binding->Native().SetVisible(false);
  maker_.Retire(std::move(binding));
}

}  // namespace tk
