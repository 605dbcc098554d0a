#include <fcntl.h>
#include <stdlib.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <system_error>

#include "platform/private_file.h"

namespace platform {
namespace {

namespace fs = std::filesystem;

constexpr char kOwnerName[] = ".owner";

// Removes the directories of private files whose owner has died: their lock
// is free. A directory whose owner is still being set up has no lock file
// yet (it appears locked, under its final name).
void RemoveStaleCopies(const fs::path& temp) {
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(temp, error)) {
    if (!entry.path().filename().string().starts_with(PrivateFile::kDirectoryPrefix)) continue;
    const fs::path owner = entry.path() / kOwnerName;
    const int fd = ::open(owner.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) continue;
    const bool stale = ::flock(fd, LOCK_EX | LOCK_NB) == 0;
    if (stale) {
      std::error_code ignored;
      fs::remove_all(entry.path(), ignored);
    }
    ::close(fd);
  }
}

}  // namespace

struct PrivateFile::Owner {
  int fd = -1;
  ~Owner() {
    if (fd >= 0) ::close(fd);
  }
};

PrivateFile::PrivateFile(const std::string& name, std::span<const uint8_t> bytes)
    : owner_(std::make_unique<Owner>()) {
  const fs::path temp = fs::temp_directory_path();
  RemoveStaleCopies(temp);
  std::string pattern = (temp / (std::string(kDirectoryPrefix) + "XXXXXX")).string();
  // mkdtemp makes the directory 0700: nobody else can reach the file.
  if (::mkdtemp(pattern.data()) == nullptr) {
    throw std::system_error(errno, std::generic_category(), "cannot make a temporary directory");
  }
  directory_ = pattern;
  const auto fail = [this](int error, const std::string& what) {
    std::error_code ignored;
    fs::remove_all(directory_, ignored);
    throw std::system_error(error, std::generic_category(), what);
  };
  // The lock is taken under a name of its own, then given its final name:
  // nobody ever finds the owner's file unlocked while this process lives.
  const fs::path taking = fs::path(directory_) / ".owner-taking";
  owner_->fd = ::open(taking.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (owner_->fd < 0 || ::flock(owner_->fd, LOCK_EX) != 0 ||
      ::rename(taking.c_str(), (fs::path(directory_) / kOwnerName).c_str()) != 0) {
    fail(errno, "cannot lock " + directory_);
  }
  path_ = (fs::path(directory_) / name).string();
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
  if (error != 0) fail(error, "cannot write " + path_);
}

PrivateFile::~PrivateFile() {
  std::error_code ignored;
  std::filesystem::remove_all(directory_, ignored);
}

}  // namespace platform
