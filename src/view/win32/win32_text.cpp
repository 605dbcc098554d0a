#include "view/win32/win32_text.h"

#include "platform/wide_text_win32.h"

namespace tk {

std::wstring Wide(const std::string& text) {
  return platform::WideFromUtf8(text);
}

std::string Utf8(const std::wstring& text) {
  return platform::Utf8FromWide(text);
}

std::wstring WindowText(HWND window) {
  const int length = GetWindowTextLengthW(window);
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  text.resize(static_cast<size_t>(GetWindowTextW(window, text.data(), length + 1)));
  return text;
}

}  // namespace tk
