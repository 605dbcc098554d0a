#pragma once
// The system's windows of the controls that need little more than a text:
// labels, buttons, panels, one-line edits, gauges, and plain containers.
#include "view/core/kind_bindings.h"
#include "view/win32/win32_native.h"

namespace tk {

class Win32LabelBinding : public LabelBinding, private Win32Messages {
 public:
  Win32LabelBinding(Win32FormView& view, TLabel& label, NativeControl* container);

 protected:
  void ShowCaption(const std::string& caption) override;
  void ShowWordWrap(bool wrap) override;

 private:
  void Command(WORD code) override;
};

class Win32ButtonBinding : public ButtonBinding, private Win32Messages {
 public:
  Win32ButtonBinding(Win32FormView& view, TButton& button, NativeControl* container);

 protected:
  void ShowCaption(const std::string& caption) override;
  int CaptionRoom(int width) const override;

 private:
  void Command(WORD code) override;
};

class Win32PanelBinding : public PanelBinding, private Win32Messages {
 public:
  Win32PanelBinding(Win32FormView& view, TPanel& panel, NativeControl* container);
  ~Win32PanelBinding() override;

 protected:
  void Apply(Change change) override;
  void ShowCaption(const std::string& caption) override;
  void ShowBevels(TBevelCut outer, TBevelCut inner) override;
  void ShowColor(TColor color) override;

 private:
  bool Handle(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result) override;
  HBRUSH FaceBrush(COLORREF& colour) override;
  void Paint();
  TPanel& panel_;
  bool pressed_ = false;
  // The brush of the panel's own colour, made when first asked for.
  HBRUSH face_brush_ = nullptr;
  TColor face_colour_ = clBtnFace;
};

class Win32EditBinding : public EditBinding, private Win32Messages {
 public:
  Win32EditBinding(Win32FormView& view, TEdit& edit, NativeControl* container);

 protected:
  void ShowText(const std::string& text) override;

 private:
  void Command(WORD code) override;
};

class Win32GaugeBinding : public GaugeBinding {
 public:
  Win32GaugeBinding(Win32FormView& view, TGauge& gauge, NativeControl* container);
  ~Win32GaugeBinding() override;

 protected:
  void ShowProgress(int done, const std::string& text) override;

 private:
  static LRESULT CALLBACK PaintPercentage(HWND window, UINT message, WPARAM wparam, LPARAM lparam,
                                          UINT_PTR id, DWORD_PTR data);
};

class Win32ContainerBinding : public ContainerBinding {
 public:
  Win32ContainerBinding(Win32FormView& view, TControl& control, NativeControl* container);
};

// The window class of panels and plain containers.
extern const wchar_t kWin32PanelClass[];

}  // namespace tk
