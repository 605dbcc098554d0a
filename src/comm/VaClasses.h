#pragma once
// Base classes of the serial component: the component itself and its
// settings objects, which report every change to their owner.
#include <cstdint>
#include <exception>
#include <functional>
#include <string>

#include "toolkit/component.h"
#include "toolkit/persistent.h"

namespace comm {

class TVaComponent : public tk::TComponent {
 public:
  using tk::TComponent::TComponent;
  std::string ClassName() const override { return "TVaComponent"; }
};

class TVaPersistent;
using TVaChangeEvent = std::function<void(TVaPersistent* sender)>;

// A settings object. Changes are reported through OnChange; a BeginUpdate /
// EndUpdate bracket folds several changes into one report at its end.
class TVaPersistent : public tk::TPersistent {
 public:
  std::string ClassName() const override { return "TVaPersistent"; }

  void BeginUpdate();
  // Never lets UpdateCount go below 0; reports the change when it reaches 0.
  void EndUpdate();
  // Reports to OnChange unless an update bracket is open.
  void Changed();

  int32_t UpdateCount() const { return update_count_; }
  const TVaChangeEvent& OnChange() const { return on_change_; }
  void SetOnChange(TVaChangeEvent handler) { on_change_ = std::move(handler); }

 protected:
  // A setter's store: a value that differs is stored and reported.
  template <class T>
  void SetNotifying(T& field, T value) {
    if (field == value) return;
    field = value;
    Changed();
  }

 private:
  int32_t update_count_ = 0;
  TVaChangeEvent on_change_;
};

// BeginUpdate for the lifetime of a scope. The closing EndUpdate runs also
// when the scope is left by an exception; a change handler that raises then
// does not replace the exception already on its way.
class TVaUpdateBracket {
 public:
  explicit TVaUpdateBracket(TVaPersistent& target)
      : target_(target), exceptions_(std::uncaught_exceptions()) {
    target_.BeginUpdate();
  }
  ~TVaUpdateBracket() noexcept(false) {
    if (std::uncaught_exceptions() == exceptions_) {
      target_.EndUpdate();
      return;
    }
    try {
      target_.EndUpdate();
    } catch (...) {
    }
  }
  TVaUpdateBracket(const TVaUpdateBracket&) = delete;
  TVaUpdateBracket& operator=(const TVaUpdateBracket&) = delete;

 private:
  TVaPersistent& target_;
  int exceptions_;
};

}  // namespace comm
