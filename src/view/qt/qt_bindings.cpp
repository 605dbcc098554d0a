#include "view/qt/qt_bindings.h"

#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <functional>

#include "view/qt/qt_form_view.h"

namespace tk {

namespace {

QString ToQt(const std::string& text) {
  return QString::fromStdString(text);
}

// Labels and panels have no click signal of their own, yet their controls
// may have a click handler: a press and release inside the widget is a click.
template <class Base>
class Clickable : public Base {
 public:
  using Base::Base;
  std::function<void()> on_click;

 protected:
  void mousePressEvent(QMouseEvent* event) override {
    if (event->button() == Qt::LeftButton) pressed_ = true;
    Base::mousePressEvent(event);
  }
  void mouseReleaseEvent(QMouseEvent* event) override {
    const bool click = pressed_ && event->button() == Qt::LeftButton &&
                       this->rect().contains(event->position().toPoint());
    pressed_ = false;
    Base::mouseReleaseEvent(event);
    if (click && on_click) on_click();
  }

 private:
  bool pressed_ = false;
};

// A panel draws its caption centred, behind the controls it holds.
class PanelFrame : public Clickable<QFrame> {
 public:
  using Clickable<QFrame>::Clickable;
  void SetCaption(const QString& caption) {
    caption_ = caption;
    update();
  }
  // Invalid: the style's own background.
  void SetFill(const QColor& fill) {
    fill_ = fill;
    update();
  }

 protected:
  void paintEvent(QPaintEvent* event) override {
    if (fill_.isValid()) {
      QPainter background(this);
      background.fillRect(rect(), fill_);
    }
    QFrame::paintEvent(event);
    if (caption_.isEmpty()) return;
    QPainter painter(this);
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(contentsRect(), Qt::AlignCenter, caption_);
  }

 private:
  QString caption_;
  QColor fill_;
};

// Return and Enter press the focused button, as Space does and as in the
// system's dialogs; no button of the window is a default button.
class PushButton : public QPushButton {
 public:
  using QPushButton::QPushButton;

 protected:
  void keyPressEvent(QKeyEvent* event) override {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
      click();
      return;
    }
    QPushButton::keyPressEvent(event);
  }
};

// A button's caption is drawn within its contents, less a pixel each side
// so that it does not touch the frame.
constexpr int kButtonCaptionMargin = 1;

}  // namespace

// ---- label ------------------------------------------------------------------

QtLabelBinding::QtLabelBinding(QtFormView& view, TLabel& label, NativeControl* container)
    : LabelBinding(view.Core(), label,
                   view.Adopt(new Clickable<QLabel>(view.ParentFor(container)))) {
  auto* widget = WidgetOf<Clickable<QLabel>>(*this);
  widget->setTextFormat(Qt::PlainText);
  widget->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  widget->on_click = [live = Live()] { OperatorClick(live); };
}

void QtLabelBinding::ShowCaption(const std::string& caption) {
  WidgetOf<QLabel>(*this)->setText(ToQt(caption));
}

void QtLabelBinding::ShowWordWrap(bool wrap) {
  WidgetOf<QLabel>(*this)->setWordWrap(wrap);
}

// ---- button -----------------------------------------------------------------

QtButtonBinding::QtButtonBinding(QtFormView& view, TButton& button, NativeControl* container)
    : ButtonBinding(view.Core(), button, view.Adopt(new PushButton(view.ParentFor(container)))) {
  auto* widget = WidgetOf<QPushButton>(*this);
  widget->setAutoDefault(false);
  QObject::connect(widget, &QPushButton::clicked, widget, [live = Live()] { OperatorClick(live); });
}

void QtButtonBinding::ShowCaption(const std::string& caption) {
  WidgetOf<QPushButton>(*this)->setText(ToQt(caption));
}

int QtButtonBinding::CaptionRoom(int width) const {
  auto* button = WidgetOf<QPushButton>(*this);
  QStyleOptionButton option;
  option.initFrom(button);
  option.rect = QRect(0, 0, width, std::max(button->height(), 1));
  const QRect contents =
      button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button);
  return contents.width() - 2 * kButtonCaptionMargin;
}

// ---- panel ------------------------------------------------------------------

QtPanelBinding::QtPanelBinding(QtFormView& view, TPanel& panel, NativeControl* container)
    : PanelBinding(view.Core(), panel, view.Adopt(new PanelFrame(view.ParentFor(container)))) {
  WidgetOf<PanelFrame>(*this)->on_click = [live = Live()] { OperatorClick(live); };
}

void QtPanelBinding::ShowCaption(const std::string& caption) {
  WidgetOf<PanelFrame>(*this)->SetCaption(ToQt(caption));
}

void QtPanelBinding::ShowBevels(TBevelCut outer, TBevelCut inner) {
  auto* frame = WidgetOf<PanelFrame>(*this);
  // Two bevels of one pixel each. A raised outer bevel around a lowered inner
  // one is a ridge, the reverse a groove; one bevel alone, or two alike, is a
  // plain raised or sunken panel.
  const int bevels = (outer != TBevelCut::bvNone) + (inner != TBevelCut::bvNone);
  if (bevels == 0) {
    frame->setFrameStyle(QFrame::NoFrame);
    frame->setLineWidth(0);
  } else if (bevels == 2 && outer != inner) {
    frame->setFrameStyle(QFrame::Box |
                         (outer == TBevelCut::bvRaised ? QFrame::Raised : QFrame::Sunken));
    frame->setLineWidth(1);
    frame->setMidLineWidth(0);
  } else {
    const TBevelCut cut = outer != TBevelCut::bvNone ? outer : inner;
    frame->setFrameStyle(QFrame::Panel |
                         (cut == TBevelCut::bvRaised ? QFrame::Raised : QFrame::Sunken));
    frame->setLineWidth(bevels);
  }
}

void QtPanelBinding::ShowColor(TColor color) {
  // TColor is 0x00BBGGRR.
  WidgetOf<PanelFrame>(*this)->SetFill(color == clBtnFace
                                           ? QColor()
                                           : QColor(static_cast<int>(color & 0xFF),
                                                    static_cast<int>((color >> 8) & 0xFF),
                                                    static_cast<int>((color >> 16) & 0xFF)));
}

// ---- edit -------------------------------------------------------------------

QtEditBinding::QtEditBinding(QtFormView& view, TEdit& edit, NativeControl* container)
    : EditBinding(view.Core(), edit, view.Adopt(new QLineEdit(view.ParentFor(container)))) {
  auto* widget = WidgetOf<QLineEdit>(*this);
  QObject::connect(widget, &QLineEdit::textEdited, widget,
                   [this, live = Live()](const QString& text) {
                     if (*live != nullptr) Typed(text.toStdString());
                   });
}

void QtEditBinding::ShowText(const std::string& text) {
  auto* line = WidgetOf<QLineEdit>(*this);
  const QString shown = ToQt(text);
  if (line->text() != shown) line->setText(shown);
}

// ---- gauge ------------------------------------------------------------------

QtGaugeBinding::QtGaugeBinding(QtFormView& view, TGauge& gauge, NativeControl* container)
    : GaugeBinding(view.Core(), gauge, view.Adopt(new QProgressBar(view.ParentFor(container)))) {
  auto* bar = WidgetOf<QProgressBar>(*this);
  bar->setRange(0, kSteps);
  bar->setTextVisible(true);
  bar->setAlignment(Qt::AlignCenter);
}

void QtGaugeBinding::ShowProgress(int done, const std::string& text) {
  auto* bar = WidgetOf<QProgressBar>(*this);
  bar->setValue(done);
  bar->setFormat(ToQt(text));
}

// ---- any other control ------------------------------------------------------

QtContainerBinding::QtContainerBinding(QtFormView& view, TControl& control,
                                       NativeControl* container)
    : ContainerBinding(view.Core(), control, view.Adopt(new QWidget(view.ParentFor(container)))) {}

}  // namespace tk
