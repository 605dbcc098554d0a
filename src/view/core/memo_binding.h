#pragma once
// A read-only multi-line display. It follows the control line by line (an
// appended line, the oldest line removed, all cleared) rather than reloading
// the whole text, and starts afresh whenever it finds itself out of step.
#include <string>
#include <vector>

#include "view/core/control_binding.h"

namespace tk {

class MemoBinding : public ControlBinding {
 public:
  using Bound = TMemo;
  MemoBinding(FormViewCore& view, TMemo& memo, std::unique_ptr<NativeControl> native);
  bool TakesFocus() const override { return true; }

 protected:
  void Apply(Change change) override;

  // Each keeps the newest line in view. `line` keeps any line end of its own.
  virtual void AppendLine(const std::string& line, bool first) = 0;
  virtual void RemoveFirstLine(bool last) = 0;
  virtual void ShowLines(const std::vector<std::string>& lines) = 0;
  virtual void ShowVerticalScrollBar(bool on) = 0;

 private:
  void Reload();
  TMemo& memo_;
  int shown_ = 0;  // lines of the control the native holds
};

}  // namespace tk
