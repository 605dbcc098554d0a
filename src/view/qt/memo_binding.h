#pragma once
// A read-only multi-line display. It follows the control line by line (an
// appended line, the oldest line removed, all cleared) rather than reloading,
// and keeps the newest line in view.
#include "view/qt/control_binding.h"

namespace tk {

class MemoBinding : public ControlBinding {
 public:
  MemoBinding(QtFormView& view, TMemo& memo, QWidget* parent);

 protected:
  void Apply(Change change) override;

 private:
  void AppendLast();
  void RemoveFirst();
  void Reload();
  void ScrollToNewest();
  TMemo& memo_;
  int shown_ = 0;  // lines of the control the widget holds
};

// One line of the control as one paragraph of the widget: line breaks inside
// it stay inside the paragraph, so removing the oldest line removes exactly it.
QString MemoParagraph(const std::string& line);

}  // namespace tk
