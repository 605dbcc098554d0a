#include <windows.h>

#include "platform/append_file.h"
#include "platform/file_kind_win32.h"
#include "platform/system_error.h"
#include "platform/unique_handle_win32.h"
#include "platform/wide_text_win32.h"

namespace platform {
namespace {

// Held around everything that looks at or changes the file's end: the other
// writers (processes or objects of their own) wait meanwhile. One byte far
// beyond any file's end is locked, so readers of the lines never meet the
// lock.
class ExclusiveLock {
 public:
  explicit ExclusiveLock(HANDLE file) : file_(file) {
    // Without locks (some network shares) each line still goes out in one
    // write; only the repair of a cut line could meet another writer.
    held_ = ::LockFileEx(file_, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, Region());
  }
  ~ExclusiveLock() {
    if (held_) ::UnlockFileEx(file_, 0, 1, 0, Region());
  }
  ExclusiveLock(const ExclusiveLock&) = delete;
  ExclusiveLock& operator=(const ExclusiveLock&) = delete;

 private:
  OVERLAPPED* Region() {
    region_ = {};
    region_.Offset = 0xFFFFFFFE;
    region_.OffsetHigh = 0x7FFFFFFF;
    return &region_;
  }
  HANDLE file_;
  OVERLAPPED region_{};
  bool held_ = false;
};

// Whether the file ends in part of a line.
bool EndsInPartOfALine(HANDLE file, LONGLONG size) {
  if (size <= 0) return false;
  OVERLAPPED at{};
  at.Offset = static_cast<DWORD>(size - 1);
  at.OffsetHigh = static_cast<DWORD>((size - 1) >> 32);
  char last = '\n';
  DWORD got = 0;
  return ::ReadFile(file, &last, 1, &got, &at) && got == 1 && last != '\n';
}

// Cuts the file back to `size` through a handle that may change its length
// (the appending one may only add to it).
bool CutBack(HANDLE file, LONGLONG size) {
  const UniqueHandle writer(
      ::ReOpenFile(file, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, 0));
  FILE_END_OF_FILE_INFO end{};
  end.EndOfFile.QuadPart = size;
  return writer && ::SetFileInformationByHandle(writer.Get(), FileEndOfFileInfo, &end, sizeof end);
}

}  // namespace

struct AppendFile::Impl {
  UniqueHandle file;
};

AppendFile::AppendFile(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

AppendFile::~AppendFile() = default;

std::unique_ptr<AppendFile> AppendFile::Open(const std::string& path, std::string& error) {
  const std::wstring wide = WideFromUtf8(path);
  // Looked at before opening: opening a device may already act on it.
  if (const auto kind = KindOfPath(wide); kind && *kind != FileKind::kOrdinary) {
    error = NotAnOrdinaryFileText(*kind);
    return nullptr;
  }
  // Appending access: every write goes to the end of the file, also with
  // other writers, as O_APPEND does; reading, to see how the file ends. Not
  // shared for deleting: the file cannot be deleted or moved while it is
  // open, so no line is written where nobody will find it.
  UniqueHandle file(::CreateFileW(wide.c_str(), GENERIC_READ | FILE_APPEND_DATA | SYNCHRONIZE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) {
    error = SystemErrorText(LastError());
    return nullptr;
  }
  if (const FileKind kind = KindOfOpenFile(file.Get()); kind != FileKind::kOrdinary) {
    error = NotAnOrdinaryFileText(kind);
    return nullptr;
  }
  auto impl = std::make_unique<Impl>();
  impl->file = std::move(file);
  return std::unique_ptr<AppendFile>(new AppendFile(std::move(impl)));
}

bool AppendFile::Append(const std::string& line, std::string& error) {
  const HANDLE file = impl_->file.Get();
  ExclusiveLock lock(file);
  LARGE_INTEGER before{};
  if (!::GetFileSizeEx(file, &before)) {
    error = SystemErrorText(LastError());
    return false;
  }
  const std::string text = EndsInPartOfALine(file, before.QuadPart) ? "\n" + line : line;
  DWORD written = 0;
  const BOOL ok =
      ::WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  if (ok && written == text.size()) return true;
  const int code = LastError();
  if (written == 0) {
    error = SystemErrorText(code);
    return false;
  }
  // Cut short (a full disk): the part written goes, so the next line starts
  // a line of its own; only when nothing follows it (a writer that takes no
  // lock may have appended meanwhile, and its line must stay). What stays is
  // ended by the line feed that the next append puts first.
  error = "only " + std::to_string(written) + " of " + std::to_string(text.size()) +
          " bytes written (is the disk full?)";
  LARGE_INTEGER after{};
  if (::GetFileSizeEx(file, &after) && after.QuadPart == before.QuadPart + written &&
      CutBack(file, before.QuadPart)) {
    error += "; the part written was taken back";
  }
  return false;
}

std::string HostName() {
  wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
  DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
  if (!::GetComputerNameW(name, &size)) return {};
  return Utf8FromWide(std::wstring_view(name, size));
}

}  // namespace platform
