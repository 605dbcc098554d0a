#include "platform/file_kind_win32.h"

namespace platform {

std::optional<FileKind> KindOfPath(const std::wstring& path) {
  // The system turns the names of devices (also "COM3" or "nul.txt" in any
  // folder) into \\.\NAME; named pipes are \\.\pipe\NAME.
  wchar_t full[MAX_PATH] = {};
  const DWORD length = ::GetFullPathNameW(path.c_str(), MAX_PATH, full, nullptr);
  if (length > 0 && length < MAX_PATH) {
    const std::wstring text(full, length);
    if (text.starts_with(L"\\\\.\\pipe\\") || text.starts_with(L"\\\\.\\PIPE\\")) {
      return FileKind::kNamedPipe;
    }
    if (text.starts_with(L"\\\\.\\")) return FileKind::kDevice;
  }
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return std::nullopt;
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) return FileKind::kFolder;
  return FileKind::kOrdinary;
}

FileKind KindOfOpenFile(HANDLE file) {
  switch (::GetFileType(file)) {
    case FILE_TYPE_DISK:
      break;
    case FILE_TYPE_PIPE:
      return FileKind::kNamedPipe;
    case FILE_TYPE_CHAR:
      return FileKind::kDevice;
    default:
      return FileKind::kOther;
  }
  BY_HANDLE_FILE_INFORMATION information{};
  if (::GetFileInformationByHandle(file, &information) &&
      (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
    return FileKind::kFolder;
  }
  return FileKind::kOrdinary;
}

}  // namespace platform
