#include <windows.h>

#include <algorithm>
#include <filesystem>
#include <random>
#include <system_error>

#include "platform/private_file.h"
#include "platform/unique_handle_win32.h"
#include "platform/wide_text_win32.h"

namespace platform {
namespace {

namespace fs = std::filesystem;

constexpr wchar_t kOwnerName[] = L".owner";

// The owner's file is held open without sharing for as long as its process
// lives: whoever can open it so finds a directory whose owner has died.
UniqueHandle OpenOwner(const fs::path& path, DWORD disposition) {
  return UniqueHandle(::CreateFileW(path.wstring().c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                                    nullptr, disposition, FILE_ATTRIBUTE_HIDDEN, nullptr));
}

void RemoveDirectory(const fs::path& directory) {
  std::error_code ignored;
  // The copy is read-only: take that off, or it cannot be removed.
  for (const auto& entry : fs::directory_iterator(directory, ignored)) {
    ::SetFileAttributesW(entry.path().wstring().c_str(), FILE_ATTRIBUTE_NORMAL);
  }
  fs::remove_all(directory, ignored);
}

void RemoveStaleCopies(const fs::path& temp) {
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(temp, error)) {
    if (!entry.path().filename().string().starts_with(PrivateFile::kDirectoryPrefix)) continue;
    UniqueHandle owner = OpenOwner(entry.path() / kOwnerName, OPEN_EXISTING);
    if (!owner) continue;  // held by its live owner, or not there
    owner.Reset();
    RemoveDirectory(entry.path());
  }
}

}  // namespace

struct PrivateFile::Owner {
  UniqueHandle handle;
};

PrivateFile::PrivateFile(const std::string& name, std::span<const uint8_t> bytes)
    : owner_(std::make_unique<Owner>()) {
  // The user's temporary directory is the user's own; a fresh directory in
  // it keeps the copy apart from every other file.
  const fs::path temp = fs::temp_directory_path();
  RemoveStaleCopies(temp);
  std::random_device random;
  fs::path directory;
  for (int attempt = 0;; ++attempt) {
    directory = temp / (std::string(kDirectoryPrefix) + std::to_string(random()));
    std::error_code error;
    if (fs::create_directory(directory, error)) break;
    if (attempt == 100) throw std::system_error(error, "cannot make a temporary directory");
  }
  directory_ = directory.string();
  // Created and held in one call: never found unheld while this process lives.
  owner_->handle = OpenOwner(directory / kOwnerName, CREATE_NEW);
  if (!owner_->handle) {
    const DWORD error = ::GetLastError();
    RemoveDirectory(directory);
    throw std::system_error(static_cast<int>(error), std::system_category(),
                            "cannot lock " + directory_);
  }
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
  owner_->handle.Reset();
  RemoveDirectory(directory);
  throw std::system_error(static_cast<int>(error), std::system_category(), "cannot write " + path_);
}

PrivateFile::~PrivateFile() {
  owner_->handle.Reset();
  RemoveDirectory(fs::path(WideFromUtf8(directory_)));
}

}  // namespace platform
