#include "view/qt/qt_form_binding.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QResizeEvent>
#include <algorithm>

#include "view/qt/qt_keys.h"

namespace tk {

FormWindow::FormWindow() : QWidget(nullptr) {}

void FormWindow::closeEvent(QCloseEvent* event) {
  if (on_close && !on_close()) {
    event->ignore();
    return;
  }
  event->accept();
}

void FormWindow::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  if (on_resize) on_resize(event->size().width(), event->size().height());
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
  const uint16_t key = VirtualKeyFromQt(key_event->key());
  if (key == 0) return false;
  return form_.PreviewKey(key, ShiftStateFromQt(key_event->modifiers()));
}

QtFormBinding::QtFormBinding(FormViewCore& view, TForm& form, FormWindow& window, QWidget* holder)
    : FormBinding(view, form, std::make_unique<QtNative>(&window, holder, false)), window_(window) {
  window.on_close = [this, live = Live()] { return *live == nullptr || CloseRequested(); };
  window.on_resize = [this, live = Live()](int width, int height) {
    if (*live != nullptr) Resized(width, height);
  };
  key_filter_ = std::make_unique<KeyPreviewFilter>(*this, window);
}

QtFormBinding::~QtFormBinding() {
  window_.on_close = nullptr;
  window_.on_resize = nullptr;
  if (filter_installed_ && qApp != nullptr) qApp->removeEventFilter(key_filter_.get());
}

void QtFormBinding::ShowTitle(const std::string& title) {
  window_.setWindowTitle(QString::fromStdString(title));
}

void QtFormBinding::ShowGeometry() {
  // The form's size is its client size; the window system adds the frame.
  const QSize client(std::max(Form().ClientWidth(), 1), std::max(Form().ClientHeight(), 1));
  if (Form().BorderStyle() == TBorderStyle::bsSingle) {
    window_.setFixedSize(client);
  } else {
    window_.setMinimumSize(0, 0);
    window_.setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    window_.resize(client);
  }
  if (Form().Left() != 0 || Form().Top() != 0) window_.move(Form().Left(), Form().Top());
}

void QtFormBinding::ShowWindow(bool visible) {
  window_.setVisible(visible);
}

void QtFormBinding::ShowStyle() {
  Qt::WindowFlags flags = Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
  if (Form().BorderStyle() == TBorderStyle::bsSizeable)
    flags |= Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint;
  if (window_.windowFlags() != flags) {
    const bool visible = window_.isVisible();
    window_.setWindowFlags(flags);  // hides the window
    window_.setVisible(visible);
    ShowGeometry();
  }
  // The filter object stays: a key handler may turn the preview off while
  // the filter is running it.
  if (Form().KeyPreview() != filter_installed_) {
    if (Form().KeyPreview()) {
      qApp->installEventFilter(key_filter_.get());
    } else {
      qApp->removeEventFilter(key_filter_.get());
    }
    filter_installed_ = Form().KeyPreview();
  }
}

}  // namespace tk
