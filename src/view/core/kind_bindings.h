#pragma once
// The kinds of control whose natives need little more than a text: labels,
// buttons, panels, one-line edits, gauges, and plain containers. Each binding
// says which change of its control the native follows how; a toolkit's view
// derives from it and shows each property with its own widgets (the pure
// virtual Show... functions).
#include <string>

#include "view/core/control_binding.h"

namespace tk {

// A label sizes itself to its caption, as the original's labels did: the
// box given is a minimum, grown where the shown font needs more room, so no
// text is cut off; its font steps down where the caption would run into the
// control beside it (caption_fit.h). A label that wraps keeps its width and
// grows downwards.
class LabelBinding : public ControlBinding {
 public:
  using Bound = TLabel;
  LabelBinding(FormViewCore& view, TLabel& label, std::unique_ptr<NativeControl> native);
  // The controls beside it have moved: fit the caption again.
  void Refit();

 protected:
  void Apply(Change change) override;
  void ShowGeometry() override;
  TFont ShownFont() const override;
  virtual void ShowCaption(const std::string& caption) = 0;
  virtual void ShowWordWrap(bool wrap) = 0;

 private:
  TLabel& label_;
};

// A button's caption steps down in size where it would not fit the button.
class ButtonBinding : public ControlBinding {
 public:
  using Bound = TButton;
  using ControlBinding::ControlBinding;
  bool TakesFocus() const override { return true; }

 protected:
  void Apply(Change change) override;
  TFont ShownFont() const override;
  virtual void ShowCaption(const std::string& caption) = 0;
  // Pixels of the caption's room in a button `width` wide.
  virtual int CaptionRoom(int width) const = 0;
};

class PanelBinding : public ControlBinding {
 public:
  using Bound = TPanel;
  PanelBinding(FormViewCore& view, TPanel& panel, std::unique_ptr<NativeControl> native);

 protected:
  void Apply(Change change) override;
  virtual void ShowCaption(const std::string& caption) = 0;
  virtual void ShowBevels(TBevelCut outer, TBevelCut inner) = 0;
  // The background: clBtnFace is the system's.
  virtual void ShowColor(TColor color) = 0;

 private:
  TPanel& panel_;
};

class EditBinding : public ControlBinding {
 public:
  using Bound = TEdit;
  EditBinding(FormViewCore& view, TEdit& edit, std::unique_ptr<NativeControl> native);
  bool TakesFocus() const override { return true; }

 protected:
  void Apply(Change change) override;
  virtual void ShowText(const std::string& text) = 0;
  // What the operator typed is the edit's text (a native's echo of a change
  // of the control is not).
  void Typed(const std::string& text);

 private:
  TEdit& edit_;
};

// The fill in steps finer than a pixel, and the control's own percentage as
// its text, so the text never disagrees with the model.
class GaugeBinding : public ControlBinding {
 public:
  using Bound = TGauge;
  static constexpr int kSteps = 10000;
  GaugeBinding(FormViewCore& view, TGauge& gauge, std::unique_ptr<NativeControl> native);

 protected:
  void Apply(Change change) override;
  // `done` of kSteps, and the text on the bar.
  virtual void ShowProgress(int done, const std::string& text) = 0;

 private:
  TGauge& gauge_;
};

// Any other control: its native is an empty container.
class ContainerBinding : public ControlBinding {
 public:
  using Bound = TControl;
  using ControlBinding::ControlBinding;
};

}  // namespace tk
