#include "view/qt/control_binding.h"

#include <QApplication>
#include <QPalette>

#include "view/qt/qt_fonts.h"
#include "view/qt/qt_form_view.h"

namespace tk {

ControlBinding::ControlBinding(QtFormView& view, TControl& control)
    : view_(view), control_(&control), live_(std::make_shared<TControl*>(&control)) {}

ControlBinding::~ControlBinding() {
  if (control_ != nullptr && observer_ != 0) control_->RemoveObserver(observer_);
}

void ControlBinding::Attach(QWidget* widget) {
  widget_ = widget;
  observer_ = control_->AddObserver([this](TControl&, Change change) {
    if (widget_ != nullptr) Apply(change);
  });
}

void ControlBinding::ApplyAll() {
  if (widget_ == nullptr || control_ == nullptr) return;
  // Visibility last, so a widget appears with its final contents.
  for (Change change :
       {Change::Geometry, Change::Enabled, Change::Caption, Change::Font, Change::Items,
        Change::Text, Change::ItemIndex, Change::LinesCleared, Change::Gauge, Change::Bevel,
        Change::Style, Change::DroppedDown, Change::Visible})
    Apply(change);
}

void ControlBinding::Apply(Change change) {
  switch (change) {
    case Change::Geometry:
      ApplyGeometry();
      break;
    case Change::Visible:
      ApplyVisible();
      break;
    case Change::Enabled:
      widget_->setEnabled(control_->Enabled());
      break;
    case Change::Font:
      widget_->setFont(QtFontFor(control_->Font()));
      ApplyTextColour();
      break;
    case Change::Parent:
      // A new parent hides the widget: place and show it again there.
      view_.Reparent(*this);
      ApplyGeometry();
      ApplyVisible();
      break;
    default:
      break;  // not a property every control has
  }
}

void ControlBinding::ApplyTextColour() {
  // The system's colour unless the font asks for one of its own.
  const TColor colour = control_->Font().color;
  QPalette palette = widget_->palette();
  const QColor text =
      colour == clWindowText
          ? QApplication::palette(widget_).color(QPalette::WindowText)
          : QColor(static_cast<int>(colour & 0xFF), static_cast<int>((colour >> 8) & 0xFF),
                   static_cast<int>((colour >> 16) & 0xFF));
  for (const QPalette::ColorRole role :
       {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}) {
    palette.setColor(QPalette::Active, role, text);
    palette.setColor(QPalette::Inactive, role, text);
  }
  widget_->setPalette(palette);
}

void ControlBinding::ApplyGeometry() {
  widget_->setGeometry(control_->Left(), control_->Top(), control_->Width(), control_->Height());
}

void ControlBinding::ApplyVisible() {
  widget_->setVisible(control_->Visible());
}

}  // namespace tk
