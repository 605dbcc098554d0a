#include "view/qt/simple_bindings.h"

#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <algorithm>
#include <functional>

#include "toolkit/application.h"

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

 protected:
  void paintEvent(QPaintEvent* event) override {
    QFrame::paintEvent(event);
    if (caption_.isEmpty()) return;
    QPainter painter(this);
    painter.drawText(contentsRect(), Qt::AlignCenter, caption_);
  }

 private:
  QString caption_;
};

std::function<void()> ClickOf(const ControlBinding::LiveControl& live) {
  return [live] { ControlBinding::Act<TControl>(live, [](TControl& c) { c.Click(); }); };
}

}  // namespace

// ---- label ------------------------------------------------------------------

LabelBinding::LabelBinding(QtFormView& view, TLabel& label, QWidget* parent)
    : ControlBinding(view, label) {
  auto* widget = new Clickable<QLabel>(parent);
  widget->setTextFormat(Qt::PlainText);
  widget->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  widget->on_click = ClickOf(Live());
  Attach(widget);
}

void LabelBinding::Apply(Change change) {
  ControlBinding::Apply(change);
  auto* widget = static_cast<QLabel*>(Widget());
  if (change == Change::Caption) widget->setText(ToQt(Control().Caption()));
  if (change == Change::Style)
    widget->setWordWrap(static_cast<const TLabel&>(Control()).WordWrap());
  // The label's box follows its text (see ApplyGeometry).
  if (change == Change::Caption || change == Change::Font || change == Change::Style) {
    ApplyGeometry();
  }
}

void LabelBinding::ApplyGeometry() {
  // Labels size themselves to their text, as the original's did: the box given
  // is a minimum, grown where this machine's font needs more room, so no text
  // is cut off. A label that wraps keeps its width and grows downwards.
  const TControl& c = Control();
  auto* widget = static_cast<QLabel*>(Widget());
  if (widget->wordWrap()) {
    widget->setGeometry(c.Left(), c.Top(), c.Width(),
                        std::max(c.Height(), widget->heightForWidth(c.Width())));
    return;
  }
  const QSize hint = widget->sizeHint();
  widget->setGeometry(c.Left(), c.Top(), std::max(c.Width(), hint.width()),
                      std::max(c.Height(), hint.height()));
}

// ---- button -----------------------------------------------------------------

ButtonBinding::ButtonBinding(QtFormView& view, TButton& button, QWidget* parent)
    : ControlBinding(view, button) {
  auto* widget = new QPushButton(parent);
  widget->setAutoDefault(false);
  const auto click = ClickOf(Live());
  QObject::connect(widget, &QPushButton::clicked, widget, [click] { click(); });
  Attach(widget);
}

void ButtonBinding::Apply(Change change) {
  ControlBinding::Apply(change);
  if (change == Change::Caption)
    static_cast<QPushButton*>(Widget())->setText(ToQt(Control().Caption()));
}

// ---- panel ------------------------------------------------------------------

PanelBinding::PanelBinding(QtFormView& view, TPanel& panel, QWidget* parent)
    : ControlBinding(view, panel), panel_(panel) {
  auto* widget = new PanelFrame(parent);
  widget->on_click = ClickOf(Live());
  Attach(widget);
}

void PanelBinding::Apply(Change change) {
  ControlBinding::Apply(change);
  auto* frame = static_cast<PanelFrame*>(Widget());
  if (change == Change::Caption) frame->SetCaption(ToQt(panel_.Caption()));
  if (change != Change::Bevel) return;
  // Two bevels of one pixel each. A raised outer bevel around a lowered inner
  // one is a ridge, the reverse a groove; one bevel alone, or two alike, is a
  // plain raised or sunken panel.
  const TBevelCut outer = panel_.BevelOuter();
  const TBevelCut inner = panel_.BevelInner();
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

// ---- edit -------------------------------------------------------------------

EditBinding::EditBinding(QtFormView& view, TEdit& edit, QWidget* parent)
    : ControlBinding(view, edit), edit_(edit) {
  auto* widget = new QLineEdit(parent);
  // What the operator types is the control's text.
  QObject::connect(widget, &QLineEdit::textEdited, widget, [live = Live()](const QString& text) {
    Act<TEdit>(live, [&](TEdit& e) { e.SetText(text.toStdString()); });
  });
  Attach(widget);
}

void EditBinding::Apply(Change change) {
  ControlBinding::Apply(change);
  if (change != Change::Text) return;
  auto* line = static_cast<QLineEdit*>(Widget());
  const QString text = ToQt(edit_.Text());
  if (line->text() != text) line->setText(text);
}

// ---- gauge ------------------------------------------------------------------

namespace {
constexpr int kGaugeSteps = 10000;  // fill resolution, finer than a pixel
}

GaugeBinding::GaugeBinding(QtFormView& view, TGauge& gauge, QWidget* parent)
    : ControlBinding(view, gauge), gauge_(gauge) {
  auto* widget = new QProgressBar(parent);
  widget->setRange(0, kGaugeSteps);
  widget->setTextVisible(true);
  widget->setAlignment(Qt::AlignCenter);
  Attach(widget);
}

void GaugeBinding::Apply(Change change) {
  ControlBinding::Apply(change);
  if (change != Change::Gauge) return;
  auto* bar = static_cast<QProgressBar*>(Widget());
  const int64_t span = int64_t{gauge_.MaxValue()} - gauge_.MinValue();
  const int64_t done = int64_t{gauge_.Progress()} - gauge_.MinValue();
  bar->setValue(span <= 0 ? 0 : static_cast<int>(done * kGaugeSteps / span));
  // The control's own percentage, so the text never disagrees with the model.
  bar->setFormat(QStringLiteral("%1%").arg(gauge_.PercentDone()));
}

// ---- any other control ------------------------------------------------------

ContainerBinding::ContainerBinding(QtFormView& view, TControl& control, QWidget* parent)
    : ControlBinding(view, control) {
  Attach(new QWidget(parent));
}

}  // namespace tk
