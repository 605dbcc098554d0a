#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <system_error>

#include "platform/private_file.h"

namespace platform {

PrivateFile::PrivateFile(const std::string& name, std::span<const uint8_t> bytes) {
  std::string pattern = (std::filesystem::temp_directory_path() / "quarnel-XXXXXX").string();
  // mkdtemp makes the directory 0700: nobody else can reach the file.
  if (::mkdtemp(pattern.data()) == nullptr) {
    throw std::system_error(errno, std::generic_category(), "cannot make a temporary directory");
  }
  directory_ = pattern;
  path_ = (std::filesystem::path(directory_) / name).string();
  const int fd = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0400);
  int error = fd < 0 ? errno : 0;
  size_t done = 0;
  while (error == 0 && done < bytes.size()) {
    const ssize_t written = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) {
      error = written < 0 ? errno : EIO;
      break;
    }
    done += static_cast<size_t>(written);
  }
  if (fd >= 0 && ::close(fd) != 0 && error == 0) error = errno;
  if (error != 0) {
    std::error_code ignored;
    std::filesystem::remove_all(directory_, ignored);
    throw std::system_error(error, std::generic_category(), "cannot write " + path_);
  }
}

PrivateFile::~PrivateFile() {
  std::error_code ignored;
  std::filesystem::remove_all(directory_, ignored);
}

}  // namespace platform
