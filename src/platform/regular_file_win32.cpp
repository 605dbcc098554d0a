#include <windows.h>

#include <algorithm>

#include "platform/file_kind_win32.h"
#include "platform/regular_file.h"
#include "platform/system_error.h"
#include "platform/unique_handle_win32.h"
#include "platform/wide_text_win32.h"

namespace platform {

std::optional<std::string> ReadRegularFile(const std::string& path, size_t max_bytes,
                                           std::string& error) {
  const std::wstring wide = WideFromUtf8(path);
  // Looked at before opening: opening a device may already act on it.
  if (const auto kind = KindOfPath(wide); kind && *kind != FileKind::kOrdinary) {
    error = NotAnOrdinaryFileText(*kind);
    return std::nullopt;
  }
  const UniqueHandle file(::CreateFileW(wide.c_str(), GENERIC_READ,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) {
    error = SystemErrorText(LastError());
    return std::nullopt;
  }
  if (const FileKind kind = KindOfOpenFile(file.Get()); kind != FileKind::kOrdinary) {
    error = NotAnOrdinaryFileText(kind);
    return std::nullopt;
  }
  LARGE_INTEGER size{};
  if (!::GetFileSizeEx(file.Get(), &size)) {
    error = SystemErrorText(LastError());
    return std::nullopt;
  }
  if (static_cast<unsigned long long>(size.QuadPart) > max_bytes) {
    error = TooLargeText(static_cast<unsigned long long>(size.QuadPart), max_bytes);
    return std::nullopt;
  }
  // One byte more than allowed tells a file that grew meanwhile.
  std::string bytes(max_bytes + 1, '\0');
  size_t done = 0;
  while (done < bytes.size()) {
    DWORD got = 0;
    const auto chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1 << 20));
    if (!::ReadFile(file.Get(), bytes.data() + done, chunk, &got, nullptr)) {
      error = SystemErrorText(LastError());
      return std::nullopt;
    }
    if (got == 0) break;
    done += got;
  }
  if (done > max_bytes) {
    error = TooLargeText(done, max_bytes);
    return std::nullopt;
  }
  bytes.resize(done);
  return bytes;
}

}  // namespace platform
