#include <windows.h>

#include "platform/append_file.h"
#include "platform/system_error.h"
#include "platform/unique_handle_win32.h"
#include "platform/wide_text_win32.h"

namespace platform {

struct AppendFile::Impl {
  UniqueHandle file;
};

AppendFile::AppendFile(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

AppendFile::~AppendFile() = default;

std::unique_ptr<AppendFile> AppendFile::Open(const std::string& path, std::string& error) {
  // Appending access alone: every write goes to the end of the file, also
  // with other writers, as O_APPEND does.
  UniqueHandle file(::CreateFileW(WideFromUtf8(path).c_str(), FILE_APPEND_DATA | SYNCHRONIZE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) {
    error = SystemErrorText(LastError());
    return nullptr;
  }
  auto impl = std::make_unique<Impl>();
  impl->file = std::move(file);
  return std::unique_ptr<AppendFile>(new AppendFile(std::move(impl)));
}

bool AppendFile::Append(const std::string& line, std::string& error) {
  DWORD written = 0;
  if (!::WriteFile(impl_->file.Get(), line.data(), static_cast<DWORD>(line.size()), &written,
                   nullptr)) {
    error = SystemErrorText(LastError());
    return false;
  }
  if (written != line.size()) {
    error = "only " + std::to_string(written) + " of " + std::to_string(line.size()) +
            " bytes written (is the disk full?)";
    return false;
  }
  return true;
}

std::string HostName() {
  wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
  DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
  if (!::GetComputerNameW(name, &size)) return {};
  return Utf8FromWide(std::wstring_view(name, size));
}

}  // namespace platform
