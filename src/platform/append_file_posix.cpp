#include <fcntl.h>
#include <limits.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/append_file.h"
#include "platform/file_kind_posix.h"
#include "platform/system_error.h"

namespace platform {
namespace {

// Held around everything that looks at or changes the file's end: the other
// writers (processes or objects of their own) wait meanwhile.
class ExclusiveLock {
 public:
  explicit ExclusiveLock(int fd) : fd_(fd) {
    int result;
    do {
      result = ::flock(fd_, LOCK_EX);
    } while (result != 0 && errno == EINTR);
    // Without locks (some network file systems) each line still goes out in
    // one write; only the repair of a cut line could meet another writer.
    held_ = result == 0;
  }
  ~ExclusiveLock() {
    if (held_) ::flock(fd_, LOCK_UN);
  }
  ExclusiveLock(const ExclusiveLock&) = delete;
  ExclusiveLock& operator=(const ExclusiveLock&) = delete;

 private:
  int fd_;
  bool held_ = false;
};

// Whether the file ends in part of a line.
bool EndsInPartOfALine(int fd, off_t size) {
  if (size <= 0) return false;
  char last = '\n';
  return ::pread(fd, &last, 1, size - 1) == 1 && last != '\n';
}

}  // namespace

struct AppendFile::Impl {
  int fd = -1;
};

AppendFile::AppendFile(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

AppendFile::~AppendFile() {
  if (impl_->fd >= 0) ::close(impl_->fd);
}

std::unique_ptr<AppendFile> AppendFile::Open(const std::string& path, std::string& error) {
  // Looked at before opening: opening a device may already act on it.
  if (const auto kind = KindOfPath(path); kind && *kind != FileKind::kOrdinary) {
    error = NotAnOrdinaryFileText(*kind);
    return nullptr;
  }
  // Not blocking: a named pipe put in its place meanwhile fails at once
  // rather than waiting for a reader. Read too, to see how the file ends; a
  // file that may only be written is still written.
  constexpr int kFlags = O_APPEND | O_CREAT | O_CLOEXEC | O_NOCTTY | O_NONBLOCK;
  int fd = ::open(path.c_str(), O_RDWR | kFlags, 0644);
  if (fd < 0 && errno == EACCES) fd = ::open(path.c_str(), O_WRONLY | kFlags, 0644);
  if (fd < 0) {
    error = SystemErrorText(errno);
    return nullptr;
  }
  if (const FileKind kind = KindOfOpenFile(fd); kind != FileKind::kOrdinary) {
    ::close(fd);
    error = NotAnOrdinaryFileText(kind);
    return nullptr;
  }
  auto impl = std::make_unique<Impl>();
  impl->fd = fd;
  return std::unique_ptr<AppendFile>(new AppendFile(std::move(impl)));
}

bool AppendFile::Append(const std::string& line, std::string& error) {
  const int fd = impl_->fd;
  ExclusiveLock lock(fd);
  struct stat status {};
  if (::fstat(fd, &status) != 0) {
    error = SystemErrorText(errno);
    return false;
  }
  if (status.st_nlink == 0) {
    error = "the file was deleted, or its folder removed, after it was opened";
    return false;
  }
  const std::string text = EndsInPartOfALine(fd, status.st_size) ? "\n" + line : line;
  ssize_t written;
  do {
    written = ::write(fd, text.data(), text.size());
  } while (written < 0 && errno == EINTR);
  if (written < 0) {
    error = SystemErrorText(errno);
    return false;
  }
  if (static_cast<size_t>(written) == text.size()) return true;

  // Cut short (a full disk, a size limit): the rest is not sent in a second
  // write, which could fail again. The part written goes, so the next line
  // starts a line of its own; with O_APPEND the offset is where it ended.
  error = "only " + std::to_string(written) + " of " + std::to_string(text.size()) +
          " bytes written (is the disk full?)";
  const off_t end = ::lseek(fd, 0, SEEK_CUR);
  struct stat after {};
  // Only when nothing follows it: a writer that takes no lock may have
  // appended meanwhile, and its line must stay. What stays is ended by the
  // line feed that the next append puts first.
  if (end >= written && ::fstat(fd, &after) == 0 && after.st_size == end &&
      ::ftruncate(fd, end - written) == 0) {
    error += "; the part written was taken back";
  }
  return false;
}

std::string HostName() {
  char name[HOST_NAME_MAX + 1] = {};
  if (::gethostname(name, sizeof name - 1) != 0) return {};
  return name;
}

}  // namespace platform
