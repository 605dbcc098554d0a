#pragma once
// Bindings of the controls whose widgets need little more than a text:
// labels, buttons, panels, one-line edits, gauges, and plain containers.
#include "view/qt/control_binding.h"

namespace tk {

class LabelBinding : public ControlBinding {
 public:
  LabelBinding(QtFormView& view, TLabel& label, QWidget* parent);

 protected:
  void Apply(Change change) override;
  void ApplyGeometry() override;
};

class ButtonBinding : public ControlBinding {
 public:
  ButtonBinding(QtFormView& view, TButton& button, QWidget* parent);

 protected:
  void Apply(Change change) override;
};

class PanelBinding : public ControlBinding {
 public:
  PanelBinding(QtFormView& view, TPanel& panel, QWidget* parent);

 protected:
  void Apply(Change change) override;

 private:
  TPanel& panel_;
};

class EditBinding : public ControlBinding {
 public:
  EditBinding(QtFormView& view, TEdit& edit, QWidget* parent);

 protected:
  void Apply(Change change) override;

 private:
  TEdit& edit_;
};

class GaugeBinding : public ControlBinding {
 public:
  GaugeBinding(QtFormView& view, TGauge& gauge, QWidget* parent);

 protected:
  void Apply(Change change) override;

 private:
  TGauge& gauge_;
};

// Any other control: an empty widget, so the controls inside it still show.
class ContainerBinding : public ControlBinding {
 public:
  ContainerBinding(QtFormView& view, TControl& control, QWidget* parent);
};

}  // namespace tk
