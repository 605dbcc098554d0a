#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/file_kind_posix.h"
#include "platform/regular_file.h"
#include "platform/system_error.h"

namespace platform {

std::optional<std::string> ReadRegularFile(const std::string& path, size_t max_bytes,
                                           std::string& error) {
  // Looked at before opening: opening a device may already act on it.
  if (const auto kind = KindOfPath(path); kind && *kind != FileKind::kOrdinary) {
    error = NotAnOrdinaryFileText(*kind);
    return std::nullopt;
  }
  // Not blocking: a named pipe put in its place meanwhile opens at once and
  // is refused below.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) {
    error = SystemErrorText(errno);
    return std::nullopt;
  }
  std::optional<std::string> text;
  struct stat status {};
  if (const FileKind kind = KindOfOpenFile(fd); kind != FileKind::kOrdinary) {
    error = NotAnOrdinaryFileText(kind);
  } else if (::fstat(fd, &status) != 0) {
    error = SystemErrorText(errno);
  } else if (static_cast<unsigned long long>(status.st_size) > max_bytes) {
    error = TooLargeText(static_cast<unsigned long long>(status.st_size), max_bytes);
  } else {
    // One byte more than allowed tells a file that grew meanwhile.
    std::string bytes(max_bytes + 1, '\0');
    size_t done = 0;
    int failure = 0;
    while (done < bytes.size()) {
      const ssize_t got = ::read(fd, bytes.data() + done, bytes.size() - done);
      if (got < 0 && errno == EINTR) continue;
      if (got < 0) failure = errno;
      if (got <= 0) break;
      done += static_cast<size_t>(got);
    }
    if (failure != 0) {
      error = SystemErrorText(failure);
    } else if (done > max_bytes) {
      error = TooLargeText(done, max_bytes);
    } else {
      bytes.resize(done);
      text = std::move(bytes);
    }
  }
  ::close(fd);
  return text;
}

}  // namespace platform
