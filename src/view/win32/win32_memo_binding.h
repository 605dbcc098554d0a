#pragma once
// The system's read-only multi-line edit as a display.
#include <deque>
#include <string>

#include "view/core/memo_binding.h"
#include "view/win32/win32_native.h"

namespace tk {

class Win32MemoBinding : public MemoBinding {
 public:
  Win32MemoBinding(Win32FormView& view, TMemo& memo, NativeControl* container);

 protected:
  void AppendLine(const std::string& line, bool first) override;
  void RemoveFirstLine(bool last) override;
  void ShowLines(const std::vector<std::string>& lines) override;
  void ShowVerticalScrollBar(bool on) override;

 private:
  HWND Window() const { return Win32Native::Of(*this).Window(); }
  void ScrollToNewest();
  // Characters of each line the window holds, with its line break.
  std::deque<size_t> shown_;
};

// One line of the control as the window shows it: its own end (received
// lines keep their CR LF) dropped, breaks inside it as CR LF.
std::wstring MemoWindowLine(const std::string& line);

}  // namespace tk
