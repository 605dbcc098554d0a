#include "view_core/fake_toolkit.h"

namespace fake {

Label::Label(RecordingView& view, tk::TLabel& label, tk::NativeControl* in)
    : LabelBinding(view.Core(), label, view.Make(in)) {}
Button::Button(RecordingView& view, tk::TButton& button, tk::NativeControl* in)
    : ButtonBinding(view.Core(), button, view.Make(in)) {}
Panel::Panel(RecordingView& view, tk::TPanel& panel, tk::NativeControl* in)
    : PanelBinding(view.Core(), panel, view.Make(in)) {}
Edit::Edit(RecordingView& view, tk::TEdit& edit, tk::NativeControl* in)
    : EditBinding(view.Core(), edit, view.Make(in)) {}
Combo::Combo(RecordingView& view, tk::TComboBox& combo, tk::NativeControl* in)
    : ComboBinding(view.Core(), combo, view.Make(in)) {}
Memo::Memo(RecordingView& view, tk::TMemo& memo, tk::NativeControl* in)
    : MemoBinding(view.Core(), memo, view.Make(in)) {}
Gauge::Gauge(RecordingView& view, tk::TGauge& gauge, tk::NativeControl* in)
    : GaugeBinding(view.Core(), gauge, view.Make(in)) {}
Container::Container(RecordingView& view, tk::TControl& control, tk::NativeControl* in)
    : ContainerBinding(view.Core(), control, view.Make(in)) {}
Form::Form(RecordingView& view, tk::TForm& form)
    : FormBinding(view.Core(), form, view.Make(nullptr)) {}

using Kinds =
    tk::KindMaker<RecordingView, Label, Button, Panel, Edit, Combo, Memo, Gauge, Container>;

RecordingView::RecordingView(tk::TForm& form) : FormView(form, std::make_unique<Kinds>(*this)) {
  Core().Start(std::make_unique<Form>(*this, form));
  Show();
}

}  // namespace fake
