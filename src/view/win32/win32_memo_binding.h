#pragma once
// A read-only multi-line display. It follows the control line by line (an
// appended line, the oldest line removed, all cleared) rather than reloading,
// and keeps the newest line in view.
#include <deque>
#include <string>

#include "view/win32/win32_control_binding.h"

namespace tk {

class Win32MemoBinding : public Win32Binding {
 public:
  Win32MemoBinding(Win32FormView& view, TMemo& memo, HWND parent);
  HBRUSH Colours(HDC dc) override;

 protected:
  void Apply(Change change) override;

 private:
  void AppendLast();
  void RemoveFirst();
  void Reload();
  void ScrollToNewest();
  TMemo& memo_;
  // Characters of each line the window holds, with its line break.
  std::deque<size_t> shown_;
};

// One line of the control as the window shows it: its own end (received
// lines keep their CR LF) dropped, breaks inside it as CR LF.
std::wstring MemoWindowLine(const std::string& line);

}  // namespace tk
