#include <windows.h>

#include <memory>

#include "platform/system_error.h"
#include "platform/wide_text_win32.h"

namespace platform {
namespace {

struct LocalFreeDeleter {
  void operator()(wchar_t* text) const { ::LocalFree(text); }
};

// The system's texts end in a full stop and a line break ("Access is
// denied.\r\n"); the messages they are put into supply their own ending.
void TrimEnd(std::string& text) {
  while (!text.empty()) {
    const auto last = static_cast<unsigned char>(text.back());
    if (last != ' ' && last != '.' && last >= 0x20) break;
    text.pop_back();
  }
}

}  // namespace

int LastError() {
  return static_cast<int>(::GetLastError());
}

void SetLastError(int code) {
  ::SetLastError(static_cast<DWORD>(code));
}

std::string SystemErrorText(int code) {
  const DWORD saved = ::GetLastError();  // asking for the text must not change the error
  wchar_t* raw = nullptr;
  const DWORD length = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, static_cast<DWORD>(code), 0, reinterpret_cast<wchar_t*>(&raw), 0, nullptr);
  const std::unique_ptr<wchar_t, LocalFreeDeleter> owned(raw);
  std::string text = length ? Utf8FromWide(std::wstring_view(raw, length)) : std::string();
  TrimEnd(text);
  ::SetLastError(saved);
  if (text.empty()) return "Unknown error " + std::to_string(code);
  return text;
}

}  // namespace platform
