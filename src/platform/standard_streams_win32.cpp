#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <algorithm>
#include <cstdint>

#include "platform/standard_streams.h"

namespace platform {
namespace {

struct StreamSlot {
  DWORD id;      // STD_*_HANDLE
  int fd;        // the C runtime's number
  DWORD access;  // on the null device
  int flags;
};

constexpr StreamSlot kStreams[] = {
    {STD_INPUT_HANDLE, 0, GENERIC_READ, _O_RDONLY | _O_BINARY},
    {STD_OUTPUT_HANDLE, 1, GENERIC_WRITE, _O_WRONLY | _O_BINARY},
    {STD_ERROR_HANDLE, 2, GENERIC_WRITE, _O_WRONLY | _O_BINARY},
};

// A handle that refers to something open; a program started without a
// stream has none, or an old value that no longer refers to anything.
bool IsOpen(HANDLE handle) {
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return false;
  ::SetLastError(NO_ERROR);
  return ::GetFileType(handle) != FILE_TYPE_UNKNOWN || ::GetLastError() == NO_ERROR;
}

// The C runtime's descriptors of a program started without a stream stand
// for no handle (-1, or -2 for "no console").
bool IsOpen(int fd) {
  const intptr_t handle = ::_get_osfhandle(fd);
  return handle != -1 && handle != -2 && IsOpen(reinterpret_cast<HANDLE>(handle));
}

// Puts the null device behind both the system's standard handle and the C
// runtime's descriptor of `stream`.
bool OpenOnNul(const StreamSlot& stream) {
  const HANDLE nul = ::CreateFileW(L"NUL", stream.access, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                   nullptr, OPEN_EXISTING, 0, nullptr);
  if (nul == INVALID_HANDLE_VALUE) return false;
  const int fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(nul), stream.flags);
  if (fd < 0) {
    ::CloseHandle(nul);
    return false;
  }
  if (fd != stream.fd) {
    // The descriptor is copied, so the copy under stream.fd stays open.
    const bool moved = ::_dup2(fd, stream.fd) == 0;
    ::_close(fd);
    if (!moved) return false;
  }
  return ::SetStdHandle(stream.id, reinterpret_cast<HANDLE>(::_get_osfhandle(stream.fd))) != FALSE;
}

}  // namespace

// Windows hands out no numbers for handles the way POSIX does for
// descriptors, but the C runtime does: a file it opens could take the number
// of a missing standard stream and receive what is printed. And output to a
// missing stream would fail rather than go nowhere.
bool EnsureStandardStreamsOpen() {
  for (const StreamSlot& stream : kStreams) {
    if (IsOpen(::GetStdHandle(stream.id)) && IsOpen(stream.fd)) continue;
    if (!OpenOnNul(stream)) return false;
  }
  return true;
}

bool WriteStandardStream(StandardStream stream, const std::string& text) {
  const HANDLE handle =
      ::GetStdHandle(stream == StandardStream::kOutput ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return false;
  size_t done = 0;
  while (done < text.size()) {
    DWORD written = 0;
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(text.size() - done, 1 << 16));
    if (!::WriteFile(handle, text.data() + done, chunk, &written, nullptr) || written == 0) {
      return false;
    }
    done += written;
  }
  return true;
}

}  // namespace platform
