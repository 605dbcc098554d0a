#include <fcntl.h>
#include <limits.h>
#include <unistd.h>

#include <cerrno>

#include "platform/append_file.h"
#include "platform/system_error.h"

namespace platform {

struct AppendFile::Impl {
  int fd = -1;
};

AppendFile::AppendFile(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

AppendFile::~AppendFile() {
  if (impl_->fd >= 0) ::close(impl_->fd);
}

std::unique_ptr<AppendFile> AppendFile::Open(const std::string& path, std::string& error) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOCTTY, 0644);
  if (fd < 0) {
    error = SystemErrorText(errno);
    return nullptr;
  }
  auto impl = std::make_unique<Impl>();
  impl->fd = fd;
  return std::unique_ptr<AppendFile>(new AppendFile(std::move(impl)));
}

bool AppendFile::Append(const std::string& line, std::string& error) {
  ssize_t written;
  do {
    written = ::write(impl_->fd, line.data(), line.size());
  } while (written < 0 && errno == EINTR);
  if (written < 0) {
    error = SystemErrorText(errno);
    return false;
  }
  if (static_cast<size_t>(written) != line.size()) {
    // A partial write (a full disk): the rest is not sent in a second write,
    // which could land in the middle of another writer's line.
    error = "only " + std::to_string(written) + " of " + std::to_string(line.size()) +
            " bytes written (is the disk full?)";
    return false;
  }
  return true;
}

std::string HostName() {
  char name[HOST_NAME_MAX + 1] = {};
  if (::gethostname(name, sizeof name - 1) != 0) return {};
  return name;
}

}  // namespace platform
