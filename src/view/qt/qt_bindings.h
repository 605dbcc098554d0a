#pragma once
// The Qt widgets of the controls that need little more than a text: labels,
// buttons, panels, one-line edits, gauges, and plain containers.
#include "view/core/kind_bindings.h"
#include "view/qt/qt_native.h"

namespace tk {

class QtFormView;

class QtLabelBinding : public LabelBinding {
 public:
  QtLabelBinding(QtFormView& view, TLabel& label, NativeControl* container);

 protected:
  void ShowCaption(const std::string& caption) override;
  void ShowWordWrap(bool wrap) override;
};

class QtButtonBinding : public ButtonBinding {
 public:
  QtButtonBinding(QtFormView& view, TButton& button, NativeControl* container);

 protected:
  void ShowCaption(const std::string& caption) override;
  int CaptionRoom(int width) const override;
};

class QtPanelBinding : public PanelBinding {
 public:
  QtPanelBinding(QtFormView& view, TPanel& panel, NativeControl* container);

 protected:
  void ShowCaption(const std::string& caption) override;
  void ShowBevels(TBevelCut outer, TBevelCut inner) override;
  void ShowColor(TColor color) override;
};

class QtEditBinding : public EditBinding {
 public:
  QtEditBinding(QtFormView& view, TEdit& edit, NativeControl* container);

 protected:
  void ShowText(const std::string& text) override;
};

class QtGaugeBinding : public GaugeBinding {
 public:
  QtGaugeBinding(QtFormView& view, TGauge& gauge, NativeControl* container);

 protected:
  void ShowProgress(int done, const std::string& text) override;
};

class QtContainerBinding : public ContainerBinding {
 public:
  QtContainerBinding(QtFormView& view, TControl& control, NativeControl* container);
};

}  // namespace tk
