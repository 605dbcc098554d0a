#pragma once
// The Qt widget of a read-only multi-line display.
#include <QString>

#include "view/core/memo_binding.h"
#include "view/qt/qt_native.h"

namespace tk {

class QtFormView;

class QtMemoBinding : public MemoBinding {
 public:
  QtMemoBinding(QtFormView& view, TMemo& memo, NativeControl* container);

 protected:
  void AppendLine(const std::string& line, bool first) override;
  void RemoveFirstLine(bool last) override;
  void ShowLines(const std::vector<std::string>& lines) override;
  void ShowVerticalScrollBar(bool on) override;

 private:
  void ScrollToNewest();
};

// One line of the control as one paragraph of the widget: line breaks inside
// it stay inside the paragraph, so removing the oldest line removes exactly it.
QString MemoParagraph(const std::string& line);

}  // namespace tk
