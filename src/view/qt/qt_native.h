#pragma once
// A Qt widget as the native of a control: what every widget does, whatever
// its kind.
#include <QPointer>
#include <QWidget>

#include "view/core/control_binding.h"
#include "view/core/native_control.h"

namespace tk {

class QtNative : public NativeControl {
 public:
  // `holder`: the never-shown widget that keeps widgets out of sight. A
  // widget the native `owns` goes with it; the view's window does not.
  QtNative(QWidget* widget, QWidget* holder, bool owns = true);
  ~QtNative() override;

  QWidget* Widget() const { return widget_; }
  static QtNative& Of(const ControlBinding& binding) {
    return static_cast<QtNative&>(binding.Native());
  }

  void SetBounds(int left, int top, int width, int height) override;
  void SetVisible(bool visible) override;
  void SetEnabled(bool enabled) override;
  void SetFont(const TFont& font) override;
  void MoveInto(NativeControl* container) override;
  bool HasFocus() const override;
  void TakeFocus() override;
  TextExtent MeasureText(const TFont& font, const std::string& text, int wrap_width) const override;

 private:
  QPointer<QWidget> widget_;
  QPointer<QWidget> holder_;
  bool owns_;
};

// The widget of a binding of this view, as the kind it was made.
template <class W>
W* WidgetOf(const ControlBinding& binding) {
  return static_cast<W*>(QtNative::Of(binding).Widget());
}

}  // namespace tk
