#include <windows.h>

#include <algorithm>
#include <filesystem>
#include <random>
#include <system_error>

#include "platform/private_file.h"
#include "platform/unique_handle_win32.h"
#include "platform/wide_text_win32.h"

namespace platform {

PrivateFile::PrivateFile(const std::string& name, std::span<const uint8_t> bytes) {
  namespace fs = std::filesystem;
  // The user's temporary directory is the user's own; a fresh directory in
  // it keeps the copy apart from every other file.
  std::random_device random;
  fs::path directory;
  for (int attempt = 0;; ++attempt) {
    directory = fs::temp_directory_path() / ("quarnel-" + std::to_string(random()));
    std::error_code error;
    if (fs::create_directory(directory, error)) break;
    if (attempt == 100) throw std::system_error(error, "cannot make a temporary directory");
  }
  directory_ = directory.string();
  path_ = (directory / name).string();
  UniqueHandle file(::CreateFileW(WideFromUtf8(path_).c_str(), GENERIC_WRITE, FILE_SHARE_READ,
                                  nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
  DWORD error = file ? 0 : ::GetLastError();
  size_t done = 0;
  while (error == 0 && done < bytes.size()) {
    DWORD written = 0;
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1 << 20));
    if (!::WriteFile(file.Get(), bytes.data() + done, chunk, &written, nullptr) || written == 0) {
      error = ::GetLastError();
      if (error == 0) error = ERROR_WRITE_FAULT;
      break;
    }
    done += written;
  }
  file.Reset();
  if (error == 0) {
    ::SetFileAttributesW(WideFromUtf8(path_).c_str(), FILE_ATTRIBUTE_READONLY);
    return;
  }
  std::error_code ignored;
  fs::remove_all(directory_, ignored);
  throw std::system_error(static_cast<int>(error), std::system_category(), "cannot write " + path_);
}

PrivateFile::~PrivateFile() {
  std::error_code ignored;
  // The copy is read-only: take that off, or it cannot be removed.
  ::SetFileAttributesW(WideFromUtf8(path_).c_str(), FILE_ATTRIBUTE_NORMAL);
  std::filesystem::remove_all(directory_, ignored);
}

}  // namespace platform
