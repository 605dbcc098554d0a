#include "view/core/kind_bindings.h"

#include <algorithm>

#include "view/core/caption_fit.h"

namespace tk {

namespace {

TextWidthOf WidthIn(const NativeControl& native) {
  return [&native](const TFont& font, const std::string& text) {
    return native.MeasureText(font, text).width;
  };
}

}  // namespace

// ---- label ------------------------------------------------------------------

LabelBinding::LabelBinding(FormViewCore& view, TLabel& label, std::unique_ptr<NativeControl> native)
    : ControlBinding(view, label, std::move(native)), label_(label) {}

void LabelBinding::Apply(Change change) {
  ControlBinding::Apply(change);
  if (change == Change::Caption) ShowCaption(label_.Caption());
  if (change == Change::Style) ShowWordWrap(label_.WordWrap());
  if (change == Change::Caption || change == Change::Font || change == Change::Style) Refit();
}

void LabelBinding::Refit() {
  if (!Attached()) return;
  ShowFont();
  ShowGeometry();
}

TFont LabelBinding::ShownFont() const {
  const int room = LabelRoom(label_);
  if (label_.WordWrap() || room == 0) return label_.Font();
  return FittingFont(label_.Font(), {label_.Caption()}, room, WidthIn(Native()));
}

void LabelBinding::ShowGeometry() {
  const TFont font = ShownFont();
  if (label_.WordWrap()) {
    const TextExtent text = Native().MeasureText(font, label_.Caption(), label_.Width());
    Native().SetBounds(label_.Left(), label_.Top(), label_.Width(),
                       std::max(label_.Height(), text.height));
    return;
  }
  const TextExtent text = Native().MeasureText(font, label_.Caption());
  const int room = LabelRoom(label_);
  const int width = room == 0 ? text.width : std::min(text.width, room);
  Native().SetBounds(label_.Left(), label_.Top(), std::max(label_.Width(), width),
                     std::max(label_.Height(), text.height));
}

// ---- button -----------------------------------------------------------------

void ButtonBinding::Apply(Change change) {
  ControlBinding::Apply(change);
  if (change == Change::Caption) ShowCaption(Control().Caption());
  if (change == Change::Caption || change == Change::Geometry) ShowFont();
}

TFont ButtonBinding::ShownFont() const {
  const TControl& c = Control();
  return FittingFont(c.Font(), {c.Caption()}, CaptionRoom(c.Width()), WidthIn(Native()));
}

// ---- panel ------------------------------------------------------------------

PanelBinding::PanelBinding(FormViewCore& view, TPanel& panel, std::unique_ptr<NativeControl> native)
    : ControlBinding(view, panel, std::move(native)), panel_(panel) {}

void PanelBinding::Apply(Change change) {
  ControlBinding::Apply(change);
  if (change == Change::Caption) ShowCaption(panel_.Caption());
  if (change == Change::Bevel) ShowBevels(panel_.BevelOuter(), panel_.BevelInner());
  if (change == Change::Color) ShowColor(panel_.Color());
}

// ---- edit -------------------------------------------------------------------

EditBinding::EditBinding(FormViewCore& view, TEdit& edit, std::unique_ptr<NativeControl> native)
    : ControlBinding(view, edit, std::move(native)), edit_(edit) {}

void EditBinding::Apply(Change change) {
  ControlBinding::Apply(change);
  if (change == Change::Text) ShowText(edit_.Text());
}

void EditBinding::Typed(const std::string& text) {
  if (Applying()) return;
  Act<TEdit>(Live(), [&](TEdit& e) { e.SetText(text); });
}

// ---- gauge ------------------------------------------------------------------

GaugeBinding::GaugeBinding(FormViewCore& view, TGauge& gauge, std::unique_ptr<NativeControl> native)
    : ControlBinding(view, gauge, std::move(native)), gauge_(gauge) {}

void GaugeBinding::Apply(Change change) {
  ControlBinding::Apply(change);
  if (change != Change::Gauge) return;
  const int64_t span = int64_t{gauge_.MaxValue()} - gauge_.MinValue();
  const int64_t done = int64_t{gauge_.Progress()} - gauge_.MinValue();
  ShowProgress(span <= 0 ? 0 : static_cast<int>(done * kSteps / span),
               std::to_string(gauge_.PercentDone()) + "%");
}

}  // namespace tk
