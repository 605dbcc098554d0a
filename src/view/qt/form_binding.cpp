#include "view/qt/form_binding.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>

#include "toolkit/application.h"
#include "view/qt/qt_keys.h"

namespace tk {

FormWindow::FormWindow() : QWidget(nullptr) {}

void FormWindow::closeEvent(QCloseEvent* event) {
  event->accept();
  if (on_close) on_close();
}

bool KeyPreviewFilter::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::KeyPress || !watched->isWidgetType()) return false;
  auto* widget = static_cast<QWidget*>(watched);
  // Keys of this window only (not of other windows nor of drop-down lists).
  if (widget != &window_ && !window_.isAncestorOf(widget)) return false;
  if (event == last_event_ && last_receiver_ != nullptr &&
      widget == last_receiver_->parentWidget()) {
    last_receiver_ = widget;  // the same key passed on to a parent
    return false;
  }
  last_event_ = event;
  last_receiver_ = widget;
  const auto* key_event = static_cast<const QKeyEvent*>(event);
  uint16_t key = VirtualKeyFromQt(key_event->key());
  if (key == 0) return false;
  const TShiftState shift = ShiftStateFromQt(key_event->modifiers());
  RunGuarded([&] { form_.KeyDown(key, shift); }, &form_);
  return key == 0;  // a handler that clears the key keeps it from the control
}

FormBinding::FormBinding(QtFormView& view, TForm& form, FormWindow& window)
    : ControlBinding(view, form), form_(form), window_(window) {
  window.on_close = [&form] {
    if (!form.Closed()) RunGuarded([&] { form.Close(); }, &form);
  };
  key_filter_ = std::make_unique<KeyPreviewFilter>(form, window);
  Attach(&window);
}

FormBinding::~FormBinding() {
  window_.on_close = nullptr;
  if (filter_installed_ && qApp != nullptr) qApp->removeEventFilter(key_filter_.get());
}

void FormBinding::SetShown(bool shown) {
  shown_ = shown;
  ApplyVisible();
}

void FormBinding::Apply(Change change) {
  switch (change) {
    case Change::Caption:
      window_.setWindowTitle(QString::fromStdString(form_.Caption()));
      break;
    case Change::Style:
      ApplyStyle();
      break;
    case Change::Parent:
      break;  // a form stays a window of its own
    default:
      ControlBinding::Apply(change);
      break;
  }
}

void FormBinding::ApplyGeometry() {
  // The form's size is its client size; the window system adds the frame.
  const QSize client(std::max(form_.ClientWidth(), 1), std::max(form_.ClientHeight(), 1));
  if (form_.BorderStyle() == TBorderStyle::bsSingle) {
    window_.setFixedSize(client);
  } else {
    window_.setMinimumSize(0, 0);
    window_.setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    window_.resize(client);
  }
  if (form_.Left() != 0 || form_.Top() != 0) window_.move(form_.Left(), form_.Top());
}

void FormBinding::ApplyVisible() {
  window_.setVisible(shown_ && form_.Visible());
}

void FormBinding::ApplyStyle() {
  Qt::WindowFlags flags = Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
  if (form_.BorderStyle() == TBorderStyle::bsSizeable)
    flags |= Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint;
  if (window_.windowFlags() != flags) {
    const bool visible = window_.isVisible();
    window_.setWindowFlags(flags);  // hides the window
    window_.setVisible(visible);
    ApplyGeometry();
  }
  // The filter object stays: a key handler may turn the preview off while
  // the filter is running it.
  if (form_.KeyPreview() != filter_installed_) {
    if (form_.KeyPreview()) {
      qApp->installEventFilter(key_filter_.get());
    } else {
      qApp->removeEventFilter(key_filter_.get());
    }
    filter_installed_ = form_.KeyPreview();
  }
}

}  // namespace tk
