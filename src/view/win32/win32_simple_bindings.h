#pragma once
// Bindings of the controls whose windows need little more than a text:
// labels, buttons, panels, one-line edits, gauges, and plain containers.
#include "view/win32/win32_control_binding.h"

namespace tk {

// A label never runs into the control beside it: where its caption would,
// the label's font steps down until it fits (see Win32FormView::FittingFont).
class Win32LabelBinding : public Win32Binding {
 public:
  Win32LabelBinding(Win32FormView& view, TLabel& label, HWND parent);
  void Command(WORD code) override;
  // The controls beside it have moved: fit the caption again.
  void Refit();

 protected:
  void Apply(Change change) override;
  void ApplyGeometry() override;
  HFONT ShownFont() override;

 private:
  // Pixels of this screen up to the nearest shown control to the right of
  // the label in its parent, less a small gap; none when nothing is there.
  int RoomToTheRight() const;
  TLabel& label_;
};

class Win32ButtonBinding : public Win32Binding {
 public:
  Win32ButtonBinding(Win32FormView& view, TButton& button, HWND parent);
  void Command(WORD code) override;

 protected:
  void Apply(Change change) override;
  HFONT ShownFont() override;
};

class Win32PanelBinding : public Win32Binding {
 public:
  Win32PanelBinding(Win32FormView& view, TPanel& panel, HWND parent);
  bool Handle(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result) override;

 protected:
  void Apply(Change change) override;

 private:
  void Paint();
  TPanel& panel_;
  bool pressed_ = false;
};

class Win32EditBinding : public Win32Binding {
 public:
  Win32EditBinding(Win32FormView& view, TEdit& edit, HWND parent);
  void Command(WORD code) override;
  HBRUSH Colours(HDC dc) override;

 protected:
  void Apply(Change change) override;

 private:
  TEdit& edit_;
};

class Win32GaugeBinding : public Win32Binding {
 public:
  Win32GaugeBinding(Win32FormView& view, TGauge& gauge, HWND parent);
  ~Win32GaugeBinding() override;

 protected:
  void Apply(Change change) override;

 private:
  static LRESULT CALLBACK PaintPercentage(HWND window, UINT message, WPARAM wparam, LPARAM lparam,
                                          UINT_PTR id, DWORD_PTR data);
  TGauge& gauge_;
};

// Any other control: an empty container, so the controls inside it still show.
class Win32ContainerBinding : public Win32Binding {
 public:
  Win32ContainerBinding(Win32FormView& view, TControl& control, HWND parent);
};

// The window class of panels and plain containers.
extern const wchar_t kWin32PanelClass[];

}  // namespace tk
