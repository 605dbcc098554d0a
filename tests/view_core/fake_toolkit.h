#pragma once
// A toolkit that only records what the view core asks of it: each native
// keeps its bounds, visibility, font, container and focus, and measures a
// text as half its font's height per character.
#include <memory>
#include <string>
#include <vector>

#include "view/core/combo_binding.h"
#include "view/core/form_view.h"
#include "view/core/kind_bindings.h"
#include "view/core/memo_binding.h"

namespace fake {

struct Native : tk::NativeControl {
  struct Bounds {
    int left = 0, top = 0, width = 0, height = 0;
  } bounds;
  bool visible = false;
  bool enabled = true;
  tk::TFont font;
  Native* container = nullptr;
  bool in_sight = true;  // false once moved out of any window
  Native** focus;        // the view's focus

  explicit Native(Native* in, Native** view_focus)
      : container(in), in_sight(in != nullptr), focus(view_focus) {}
  ~Native() override {
    if (*focus == this) *focus = nullptr;
  }
  void SetBounds(int l, int t, int w, int h) override { bounds = {l, t, w, h}; }
  void SetVisible(bool v) override {
    visible = v;
    DropFocusUnlessUsable();
  }
  void SetEnabled(bool e) override {
    enabled = e;
    DropFocusUnlessUsable();
  }
  void SetFont(const tk::TFont& f) override { font = f; }
  void MoveInto(tk::NativeControl* c) override {
    container = static_cast<Native*>(c);
    in_sight = c != nullptr;
  }
  // On it, or on a native inside it.
  bool HasFocus() const override {
    for (const Native* n = *focus; n != nullptr; n = n->container)
      if (n == this) return true;
    return false;
  }
  void TakeFocus() override { *focus = this; }
  tk::TextExtent MeasureText(const tk::TFont& f, const std::string& text,
                             int wrap_width) const override {
    const int width = static_cast<int>(text.size()) * f.height / 2;
    if (wrap_width <= 0) return {width, f.height};
    const int lines = (width + wrap_width - 1) / wrap_width;
    return {std::min(width, wrap_width), f.height * std::max(lines, 1)};
  }
  // As a toolkit does: a hidden or disabled native loses the focus.
  void DropFocusUnlessUsable() {
    if ((!visible || !enabled) && HasFocus()) *focus = nullptr;
  }
};

class RecordingView;

struct Label : tk::LabelBinding {
  Label(RecordingView& view, tk::TLabel& label, tk::NativeControl* in);
  std::string caption;
  void ShowCaption(const std::string& c) override { caption = c; }
  void ShowWordWrap(bool) override {}
};

struct Button : tk::ButtonBinding {
  Button(RecordingView& view, tk::TButton& button, tk::NativeControl* in);
  void ShowCaption(const std::string&) override {}
  int CaptionRoom(int width) const override { return width - 8; }
};

struct Panel : tk::PanelBinding {
  Panel(RecordingView& view, tk::TPanel& panel, tk::NativeControl* in);
  void ShowCaption(const std::string&) override {}
  void ShowBevels(tk::TBevelCut, tk::TBevelCut) override {}
  void ShowColor(tk::TColor) override {}
};

struct Edit : tk::EditBinding {
  Edit(RecordingView& view, tk::TEdit& edit, tk::NativeControl* in);
  void ShowText(const std::string&) override {}
};

struct Combo : tk::ComboBinding {
  Combo(RecordingView& view, tk::TComboBox& combo, tk::NativeControl* in);
  void ShowItems(const std::vector<std::string>&) override {}
  void ShowSelection(int, const std::string&) override {}
  void ShowDroppedDown(bool) override {}
  void ShowAutoDropDown(bool) override {}
  int TextRoom(int width) const override { return width - 20; }
};

struct Memo : tk::MemoBinding {
  Memo(RecordingView& view, tk::TMemo& memo, tk::NativeControl* in);
  std::vector<std::string> shown;
  int reloads = 0;
  void AppendLine(const std::string& line, bool) override { shown.push_back(line); }
  void RemoveFirstLine(bool) override { shown.erase(shown.begin()); }
  void ShowLines(const std::vector<std::string>& lines) override {
    shown = lines;
    ++reloads;
  }
  void ShowVerticalScrollBar(bool) override {}
};

struct Gauge : tk::GaugeBinding {
  Gauge(RecordingView& view, tk::TGauge& gauge, tk::NativeControl* in);
  void ShowProgress(int, const std::string&) override {}
};

struct Container : tk::ContainerBinding {
  Container(RecordingView& view, tk::TControl& control, tk::NativeControl* in);
};

struct Form : tk::FormBinding {
  Form(RecordingView& view, tk::TForm& form);
  void ShowGeometry() override {}
  void ShowTitle(const std::string&) override {}
  void ShowStyle() override {}
  void ShowWindow(bool visible) override { Native().SetVisible(visible); }
};

class RecordingView : public tk::FormView {
 public:
  explicit RecordingView(tk::TForm& form);
  ~RecordingView() override { Close(); }
  Native& Of(const tk::TControl& control) const {
    return static_cast<Native&>(Core().BindingOf(control)->Native());
  }
  std::unique_ptr<Native> Make(tk::NativeControl* in) {
    return std::make_unique<Native>(static_cast<Native*>(in), &focus);
  }
  void Retire(std::unique_ptr<tk::ControlBinding> binding) {
    retired.push_back(std::move(binding));
  }
  Native* focus = nullptr;
  std::vector<std::unique_ptr<tk::ControlBinding>> retired;
};

}  // namespace fake
