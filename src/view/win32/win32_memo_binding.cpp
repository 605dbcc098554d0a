#include "view/win32/win32_memo_binding.h"

#include "view/win32/win32_form_view.h"

namespace tk {

std::wstring MemoWindowLine(const std::string& line) {
  std::wstring text = Wide(line);
  while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r')) text.pop_back();
  std::wstring result;
  result.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    const wchar_t c = text[i];
    if (c == L'\r' || c == L'\n') {
      result += L"\r\n";
      if (c == L'\r' && i + 1 < text.size() && text[i + 1] == L'\n') ++i;
    } else {
      result.push_back(c);
    }
  }
  return result;
}

Win32MemoBinding::Win32MemoBinding(Win32FormView& view, TMemo& memo, NativeControl* container)
    : MemoBinding(
          view.Core(), memo,
          std::make_unique<Win32Native>(
              view,
              // The control takes no typed text, so the window must
              // not either: its lines stay the control's lines.
              CreateChildWindow(WC_EDITW, ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL | WS_TABSTOP,
                                WS_EX_CLIENTEDGE, view.ParentFor(container)),
              // A display, not a disabled field: the field's colours.
              Win32Native::Background::kField)) {
  SendMessageW(Window(), EM_SETLIMITTEXT, 0, 0);  // as much text as memory allows
}

void Win32MemoBinding::AppendLine(const std::string& line, bool first) {
  // Every line but the first begins with the break that ends the one before.
  std::wstring text = first ? std::wstring() : std::wstring(L"\r\n");
  text += MemoWindowLine(line);
  const int end = GetWindowTextLengthW(Window());
  SendMessageW(Window(), EM_SETSEL, static_cast<WPARAM>(end), end);
  SendMessageW(Window(), EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(text.c_str()));
  shown_.push_back(text.size());
  ScrollToNewest();
}

void Win32MemoBinding::RemoveFirstLine(bool last) {
  if (last || shown_.size() < 2) {
    SetWindowTextW(Window(), L"");
    shown_.clear();
    return;
  }
  // The first line and the break after it, which the second line holds.
  const size_t length = shown_[0] + 2;
  SendMessageW(Window(), EM_SETSEL, 0, static_cast<LPARAM>(length));
  SendMessageW(Window(), EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(L""));
  shown_.pop_front();
  shown_.front() -= 2;
  ScrollToNewest();
}

void Win32MemoBinding::ShowLines(const std::vector<std::string>& lines) {
  std::wstring text;
  shown_.clear();
  for (const std::string& line : lines) {
    const std::wstring shown = (shown_.empty() ? L"" : L"\r\n") + MemoWindowLine(line);
    text += shown;
    shown_.push_back(shown.size());
  }
  SetWindowTextW(Window(), text.c_str());
  ScrollToNewest();
}

void Win32MemoBinding::ShowVerticalScrollBar(bool on) {
  const LONG_PTR style = GetWindowLongPtrW(Window(), GWL_STYLE);
  const LONG_PTR wanted = on ? (style | WS_VSCROLL) : (style & ~LONG_PTR{WS_VSCROLL});
  if (wanted == style) return;
  SetWindowLongPtrW(Window(), GWL_STYLE, wanted);
  SetWindowPos(Window(), nullptr, 0, 0, 0, 0,
               SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
}

void Win32MemoBinding::ScrollToNewest() {
  const int end = GetWindowTextLengthW(Window());
  SendMessageW(Window(), EM_SETSEL, static_cast<WPARAM>(end), end);
  SendMessageW(Window(), EM_SCROLLCARET, 0, 0);
}

}  // namespace tk
