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

ErrorKind ClassifySystemError(int code, ErrorOccasion occasion) {
  const auto error = static_cast<DWORD>(code);
  if (occasion == ErrorOccasion::kOpening) {
    switch (error) {
      case ERROR_FILE_NOT_FOUND:
      case ERROR_PATH_NOT_FOUND:
        return ErrorKind::kNotFound;
      // A port that another program holds: most drivers refuse it as access
      // denied, some as a sharing violation or busy.
      case ERROR_ACCESS_DENIED:
      case ERROR_SHARING_VIOLATION:
      case ERROR_BUSY:
        return ErrorKind::kBusy;
      // The communications functions' answer for a device of another kind
      // (Wine's: invalid handle).
      case ERROR_INVALID_FUNCTION:
      case ERROR_INVALID_HANDLE:
      case ERROR_NOT_SUPPORTED:
        return ErrorKind::kNotASerialPort;
      default:
        return ErrorKind::kOther;
    }
  }
  // What reads, writes and status queries fail with once a port's device has
  // gone: a USB adapter unplugged (access denied, bad command, general
  // failure, not connected, no longer exists); under Wine, a pseudo-terminal
  // whose other end has closed (broken pipe, then not ready).
  switch (error) {
    case ERROR_ACCESS_DENIED:
    case ERROR_NOT_READY:
    case ERROR_BAD_COMMAND:
    case ERROR_GEN_FAILURE:
    case ERROR_BROKEN_PIPE:
    case ERROR_DEVICE_NOT_CONNECTED:
    case ERROR_DEV_NOT_EXIST:
      return ErrorKind::kGone;
    default:
      return ErrorKind::kOther;
  }
}

}  // namespace platform
