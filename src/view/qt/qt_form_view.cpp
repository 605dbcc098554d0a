#include "view/qt/qt_form_view.h"

#include "view/qt/combo_binding.h"
#include "view/qt/form_binding.h"
#include "view/qt/memo_binding.h"
#include "view/qt/simple_bindings.h"

namespace tk {

std::unique_ptr<ControlBinding> MakeBinding(QtFormView& view, TControl& control, QWidget* parent) {
  if (auto* c = dynamic_cast<TLabel*>(&control))
    return std::make_unique<LabelBinding>(view, *c, parent);
  if (auto* c = dynamic_cast<TButton*>(&control))
    return std::make_unique<ButtonBinding>(view, *c, parent);
  if (auto* c = dynamic_cast<TPanel*>(&control))
    return std::make_unique<PanelBinding>(view, *c, parent);
  if (auto* c = dynamic_cast<TEdit*>(&control))
    return std::make_unique<EditBinding>(view, *c, parent);
  if (auto* c = dynamic_cast<TComboBox*>(&control))
    return std::make_unique<ComboBinding>(view, *c, parent);
  if (auto* c = dynamic_cast<TMemo*>(&control))
    return std::make_unique<MemoBinding>(view, *c, parent);
  if (auto* c = dynamic_cast<TGauge*>(&control))
    return std::make_unique<GaugeBinding>(view, *c, parent);
  return std::make_unique<ContainerBinding>(view, control, parent);
}

// Hears of controls being destroyed, so their widgets go with them.
class QtFormView::Watcher : public TComponent {
 public:
  explicit Watcher(QtFormView& view) : view_(view) {}

 protected:
  void Notification(TComponent* component, TOperation operation) override {
    TComponent::Notification(component, operation);
    if (operation == TOperation::opRemove) view_.Forget(component);
  }

 private:
  QtFormView& view_;
};

QtFormView::QtFormView(TForm& form)
    : form_(form),
      holder_(std::make_unique<QWidget>()),
      window_(std::make_unique<FormWindow>()),
      watcher_(std::make_unique<Watcher>(*this)) {
  auto binding = std::make_unique<FormBinding>(*this, form, *window_);
  form_binding_ = binding.get();
  bindings_.emplace(&form, std::move(binding));
  watcher_->FreeNotification(&form);
  form_binding_->ApplyAll();
  BindNewControls();
}

void QtFormView::BindNewControls() {
  for (TControl* child : std::vector<TControl*>(form_.Children())) Bind(*child);
  BindOwned(form_);
}

QtFormView::~QtFormView() {
  bindings_.clear();  // observers and the key filter go first
  watcher_.reset();
  window_.reset();
  holder_.reset();
}

void QtFormView::Show() {
  if (form_binding_ != nullptr) form_binding_->SetShown(true);
}

QWidget& QtFormView::Window() const {
  return *window_;
}

QWidget* QtFormView::WidgetOf(const TControl& control) const {
  auto it = bindings_.find(&control);
  return it == bindings_.end() ? nullptr : it->second->Widget();
}

void QtFormView::BindOwned(const TComponent& owner) {
  for (TComponent* component : std::vector<TComponent*>(owner.Components())) {
    if (auto* control = dynamic_cast<TControl*>(component)) Bind(*control);
    BindOwned(*component);
  }
}

ControlBinding* QtFormView::Bind(TControl& control) {
  if (auto it = bindings_.find(&control); it != bindings_.end()) return it->second.get();
  if (binding_now_.count(&control) != 0) return nullptr;  // a parent cycle
  binding_now_.insert(&control);
  // The parent first: binding it binds its children, this one among them.
  QWidget* parent = ContainerFor(control.Parent());
  ControlBinding* result = nullptr;
  if (auto it = bindings_.find(&control); it != bindings_.end()) {
    result = it->second.get();
  } else {
    auto binding = MakeBinding(*this, control, parent);
    result = binding.get();
    bindings_.emplace(&control, std::move(binding));
    watcher_->FreeNotification(&control);
    result->ApplyAll();
    for (TControl* child : std::vector<TControl*>(control.Children())) Bind(*child);
  }
  binding_now_.erase(&control);
  return result;
}

QWidget* QtFormView::ContainerFor(TControl* parent) {
  if (parent == nullptr) return holder_.get();
  ControlBinding* binding = Bind(*parent);
  if (binding == nullptr || binding->Container() == nullptr) return holder_.get();
  return binding->Container();
}

void QtFormView::Reparent(ControlBinding& binding) {
  QWidget* widget = binding.Widget();
  QWidget* target = ContainerFor(binding.Control().Parent());
  // A control placed inside itself cannot be shown.
  if (target == widget || widget->isAncestorOf(target)) target = holder_.get();
  if (widget->parentWidget() == target) return;
  widget->setParent(target);
  widget->raise();  // the newest child lies on top, as with the control's parent
}

void QtFormView::Forget(TComponent* component) {
  auto it = bindings_.find(component);
  if (it == bindings_.end()) return;
  std::unique_ptr<ControlBinding> binding = std::move(it->second);
  bindings_.erase(it);
  binding->Detach();
  if (binding.get() == form_binding_) {
    form_binding_ = nullptr;
    window_->hide();
    return;
  }
  QWidget* widget = binding->Widget();
  if (widget == nullptr) return;
  // Widgets of other controls inside it outlive it, unparented as their controls are.
  for (auto& [control, other] : bindings_) {
    QWidget* w = other->Widget();
    if (w != nullptr && w->parentWidget() == binding->Container()) w->setParent(holder_.get());
  }
  widget->hide();
  // The widget may be inside one of its own signals (a handler freed its control).
  widget->deleteLater();
}

}  // namespace tk
