#include "view/core/memo_binding.h"

namespace tk {

MemoBinding::MemoBinding(FormViewCore& view, TMemo& memo, std::unique_ptr<NativeControl> native)
    : ControlBinding(view, memo, std::move(native)), memo_(memo) {}

void MemoBinding::Apply(Change change) {
  ControlBinding::Apply(change);
  switch (change) {
    case Change::LineAdded:
      if (shown_ + 1 != memo_.LineCount()) return Reload();
      AppendLine(memo_.Lines().back(), shown_ == 0);
      ++shown_;
      break;
    case Change::FirstLineRemoved:
      if (shown_ - 1 != memo_.LineCount()) return Reload();
      RemoveFirstLine(shown_ == 1);
      --shown_;
      break;
    case Change::LinesCleared:
      Reload();
      break;
    case Change::Style:
      ShowVerticalScrollBar(memo_.VerticalScrollBar());
      break;
    default:
      break;
  }
}

void MemoBinding::Reload() {
  ShowLines(memo_.Lines());
  shown_ = memo_.LineCount();
}

}  // namespace tk
