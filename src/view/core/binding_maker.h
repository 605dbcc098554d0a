#pragma once
// The kinds of control, and the toolkit's side of each: a view makes the
// binding of a kind with a widget or window of its own.
//
// A new kind of control: its class in the control model (a TControl with the
// changes it adds); its binding in the core, deriving from ControlBinding,
// with `using Bound = TNewKind`, its Apply (which change the native follows
// how) and a pure virtual Show... for each property a toolkit shows its own
// way; a maker below, its line in MakeBinding and in KindMaker. Each view
// then derives its binding from the core's, and adds it to its list of kinds
// (KindMaker<...>); a view without it does not build.
#include <memory>
#include <type_traits>

#include "toolkit/controls.h"
#include "view/core/control_binding.h"

namespace tk {

class BindingMaker {
 public:
  virtual ~BindingMaker() = default;
  // Each makes the binding of one control, its native inside `container`
  // (nullptr: out of sight).
  virtual std::unique_ptr<ControlBinding> MakeLabel(TLabel& label, NativeControl* container) = 0;
  virtual std::unique_ptr<ControlBinding> MakeButton(TButton& button, NativeControl* container) = 0;
  virtual std::unique_ptr<ControlBinding> MakePanel(TPanel& panel, NativeControl* container) = 0;
  virtual std::unique_ptr<ControlBinding> MakeEdit(TEdit& edit, NativeControl* container) = 0;
  virtual std::unique_ptr<ControlBinding> MakeComboBox(TComboBox& combo,
                                                       NativeControl* container) = 0;
  virtual std::unique_ptr<ControlBinding> MakeMemo(TMemo& memo, NativeControl* container) = 0;
  virtual std::unique_ptr<ControlBinding> MakeGauge(TGauge& gauge, NativeControl* container) = 0;
  // Any other control: an empty container, so the controls inside it still show.
  virtual std::unique_ptr<ControlBinding> MakeContainer(TControl& control,
                                                        NativeControl* container) = 0;

  // A binding whose control has gone: it may be inside one of its native's
  // own notifications (a handler freed its control), so the view frees it
  // once that is over. Its native is hidden and out of any window already.
  virtual void Retire(std::unique_ptr<ControlBinding> binding) = 0;
};

// The binding that suits the control's kind.
std::unique_ptr<ControlBinding> MakeBinding(BindingMaker& maker, TControl& control,
                                            NativeControl* container);

// The first of `Bindings` whose Bound (the kind of control it binds) is `C`.
template <class C, class... Bindings>
struct BindingFor;
template <class C, class First, class... Rest>
struct BindingFor<C, First, Rest...> {
  using type = std::conditional_t<std::is_same_v<typename First::Bound, C>, First,
                                  typename BindingFor<C, Rest...>::type>;
};
template <class C>
struct BindingFor<C> {
  using type = void;
};

// The maker of a toolkit's view from its binding classes, one per kind, each
// made as Binding(view, control, container); the view frees retired ones.
template <class View, class... Bindings>
class KindMaker final : public BindingMaker {
 public:
  explicit KindMaker(View& view) : view_(view) {}

  std::unique_ptr<ControlBinding> MakeLabel(TLabel& c, NativeControl* in) override {
    return Make(c, in);
  }
  std::unique_ptr<ControlBinding> MakeButton(TButton& c, NativeControl* in) override {
    return Make(c, in);
  }
  std::unique_ptr<ControlBinding> MakePanel(TPanel& c, NativeControl* in) override {
    return Make(c, in);
  }
  std::unique_ptr<ControlBinding> MakeEdit(TEdit& c, NativeControl* in) override {
    return Make(c, in);
  }
  std::unique_ptr<ControlBinding> MakeComboBox(TComboBox& c, NativeControl* in) override {
    return Make(c, in);
  }
  std::unique_ptr<ControlBinding> MakeMemo(TMemo& c, NativeControl* in) override {
    return Make(c, in);
  }
  std::unique_ptr<ControlBinding> MakeGauge(TGauge& c, NativeControl* in) override {
    return Make(c, in);
  }
  std::unique_ptr<ControlBinding> MakeContainer(TControl& c, NativeControl* in) override {
    return Make(c, in);
  }
  void Retire(std::unique_ptr<ControlBinding> binding) override {
    view_.Retire(std::move(binding));
  }

 private:
  template <class C>
  std::unique_ptr<ControlBinding> Make(C& control, NativeControl* container) {
    using Binding = typename BindingFor<C, Bindings...>::type;
    static_assert(!std::is_void_v<Binding>, "the view has no binding of this kind of control");
    return std::make_unique<Binding>(view_, control, container);
  }
  View& view_;
};

}  // namespace tk
