#include "view/qt/qt_native.h"

#include <QApplication>
#include <QFontMetrics>
#include <QPalette>
#include <algorithm>

#include "view/qt/qt_fonts.h"

namespace tk {

namespace {

// The font's colour on the widget's text (TColor is 0x00BBGGRR); the
// system's colour unless the font asks for one of its own.
void ApplyTextColour(QWidget& widget, TColor colour) {
  QPalette palette = widget.palette();
  const QColor text =
      colour == clWindowText
          ? QApplication::palette(&widget).color(QPalette::WindowText)
          : QColor(static_cast<int>(colour & 0xFF), static_cast<int>((colour >> 8) & 0xFF),
                   static_cast<int>((colour >> 16) & 0xFF));
  for (const QPalette::ColorRole role :
       {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}) {
    palette.setColor(QPalette::Active, role, text);
    palette.setColor(QPalette::Inactive, role, text);
  }
  widget.setPalette(palette);
}

}  // namespace

QtNative::QtNative(QWidget* widget, QWidget* holder, bool owns)
    : widget_(widget), holder_(holder), owns_(owns) {}

QtNative::~QtNative() {
  // The widget may be inside one of its own signals (a handler freed its control).
  if (owns_ && widget_ != nullptr) widget_->deleteLater();
}

void QtNative::SetBounds(int left, int top, int width, int height) {
  if (widget_ != nullptr) widget_->setGeometry(left, top, width, height);
}

void QtNative::SetVisible(bool visible) {
  if (widget_ != nullptr) widget_->setVisible(visible);
}

void QtNative::SetEnabled(bool enabled) {
  if (widget_ != nullptr) widget_->setEnabled(enabled);
}

void QtNative::SetFont(const TFont& font) {
  if (widget_ == nullptr) return;
  const QFont shown = QtFontFor(font);
  if (widget_->font() != shown) widget_->setFont(shown);
  ApplyTextColour(*widget_, font.color);
}

void QtNative::MoveInto(NativeControl* container) {
  QWidget* target =
      container == nullptr ? holder_.data() : static_cast<QtNative*>(container)->widget_.data();
  if (widget_ == nullptr || target == nullptr || widget_->parentWidget() == target) return;
  widget_->setParent(target);
  widget_->raise();  // the newest child lies on top, as with the control's parent
}

bool QtNative::HasFocus() const {
  if (widget_ == nullptr) return false;
  QWidget* focus = QApplication::focusWidget();
  return focus != nullptr && (focus == widget_ || widget_->isAncestorOf(focus));
}

void QtNative::TakeFocus() {
  if (widget_ != nullptr) widget_->setFocus(Qt::TabFocusReason);
}

TextExtent QtNative::MeasureText(const TFont& font, const std::string& text, int wrap_width) const {
  const QFontMetrics metrics(QtFontFor(font));
  const QString shown = QString::fromStdString(text);
  if (wrap_width <= 0) {
    const QRect box = metrics.boundingRect(
        QRect(0, 0, 1 << 20, 1 << 20), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, shown);
    return {std::max(box.width(), metrics.horizontalAdvance(shown)),
            std::max(box.height(), metrics.height())};
  }
  const QRect box = metrics.boundingRect(QRect(0, 0, wrap_width, 1 << 20),
                                         Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, shown);
  return {box.width(), std::max(box.height(), metrics.height())};
}

}  // namespace tk
