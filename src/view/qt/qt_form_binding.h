#pragma once
// The form as a top-level Qt window: fixed client size with a single border,
// close and system menu only, its caption as title, closing through the
// form, and the form's look at the keys before the focused control.
#include <QObject>
#include <QPointer>
#include <QWidget>
#include <functional>
#include <memory>

#include "view/core/form_binding.h"
#include "view/qt/qt_native.h"

namespace tk {

// The top-level widget; closing it asks the form to close.
class FormWindow : public QWidget {
 public:
  FormWindow();
  // False: the form stays open, and so does the window.
  std::function<bool()> on_close;
  std::function<void(int width, int height)> on_resize;

 protected:
  void closeEvent(QCloseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
};

// Installed on the application while the form previews keys: sees each key
// press meant for the window before the focused control does.
class KeyPreviewFilter : public QObject {
 public:
  KeyPreviewFilter(FormBinding& form, QWidget& window) : form_(form), window_(window) {}

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  FormBinding& form_;
  QWidget& window_;
  // Qt offers a key the focused widget leaves to each parent in turn; the
  // form sees it only the first time.
  const QEvent* last_event_ = nullptr;
  QPointer<QWidget> last_receiver_;
};

class QtFormBinding : public FormBinding {
 public:
  QtFormBinding(FormViewCore& view, TForm& form, FormWindow& window, QWidget* holder);
  ~QtFormBinding() override;

 protected:
  void ShowGeometry() override;
  void ShowTitle(const std::string& title) override;
  void ShowStyle() override;
  void ShowWindow(bool visible) override;

 private:
  FormWindow& window_;
  std::unique_ptr<KeyPreviewFilter> key_filter_;
  bool filter_installed_ = false;
};

}  // namespace tk
