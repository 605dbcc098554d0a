#include "view/qt/qt_form_view.h"

#include "view/qt/qt_bindings.h"
#include "view/qt/qt_combo_binding.h"
#include "view/qt/qt_form_binding.h"
#include "view/qt/qt_memo_binding.h"

namespace tk {

namespace {

using QtKinds =
    KindMaker<QtFormView, QtLabelBinding, QtButtonBinding, QtPanelBinding, QtEditBinding,
              QtComboBinding, QtMemoBinding, QtGaugeBinding, QtContainerBinding>;

}  // namespace

QtFormView::QtFormView(TForm& form)
    : FormView(form, std::make_unique<QtKinds>(*this)),
      holder_(std::make_unique<QWidget>()),
      window_(std::make_unique<FormWindow>()) {
  Core().Start(std::make_unique<QtFormBinding>(Core(), form, *window_, holder_.get()));
}

QtFormView::~QtFormView() {
  Close();  // the bindings (and the key filter) before the widgets
}

QWidget& QtFormView::Window() const {
  return *window_;
}

QWidget* QtFormView::WidgetOf(const TControl& control) const {
  const ControlBinding* binding = Core().BindingOf(control);
  return binding == nullptr ? nullptr : QtNative::Of(*binding).Widget();
}

QWidget* QtFormView::ParentFor(NativeControl* container) const {
  return container == nullptr ? holder_.get() : static_cast<QtNative*>(container)->Widget();
}

std::unique_ptr<NativeControl> QtFormView::Adopt(QWidget* widget) const {
  return std::make_unique<QtNative>(widget, holder_.get());
}

void QtFormView::Retire(std::unique_ptr<ControlBinding> binding) {
  // Nothing of the binding runs again; its widget goes once Qt is back in its
  // loop (the native's destructor), or with the window.
  binding.reset();
}

}  // namespace tk
