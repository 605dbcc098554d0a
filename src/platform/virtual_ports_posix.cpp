#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <system_error>
#include <thread>

#include "platform/natural_order.h"
#include "platform/virtual_ports.h"

namespace fs = std::filesystem;

namespace platform {
namespace {

// How long a publisher waits for a lock that someone else holds, in case
// that is a process clearing the stale entry of the same name right now.
constexpr int kLockAttempts = 20;
constexpr auto kLockRetryPause = std::chrono::milliseconds(5);

// The lock file beside the entry; hidden, so it is never listed as a port.
fs::path LockPathOf(const fs::path& entry) {
  return entry.parent_path() / ("." + entry.filename().string() + ".lock");
}

// Takes the lock of an entry without waiting: a descriptor holding it, or
// -1 with errno EWOULDBLOCK when another process holds it.
int TakeEntryLock(const fs::path& lock_path) {
  for (;;) {
    const int fd = ::open(lock_path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) return -1;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
      const int err = errno;
      ::close(fd);
      errno = err;
      return -1;
    }
    // Whoever held it before may have removed the file meanwhile: then this
    // lock guards nothing, so take the one that is there now.
    struct stat held {
    }, now{};
    if (::fstat(fd, &held) == 0 && ::stat(lock_path.c_str(), &now) == 0 &&
        held.st_dev == now.st_dev && held.st_ino == now.st_ino) {
      return fd;
    }
    ::close(fd);
  }
}

// Removes an entry and its lock file while holding the lock, then lets go.
void RemoveEntry(const fs::path& entry, const fs::path& lock_path, int lock_fd) noexcept {
  std::error_code ec;
  fs::remove(entry, ec);
  fs::remove(lock_path, ec);
  ::close(lock_fd);
}

// True while a running process holds the entry; a stale entry is removed.
bool EntryIsLive(const fs::path& entry) {
  const fs::path lock_path = LockPathOf(entry);
  const int fd = TakeEntryLock(lock_path);
  if (fd < 0) return errno == EWOULDBLOCK;
  RemoveEntry(entry, lock_path, fd);
  return false;
}

}  // namespace

fs::path VirtualPortDirectory() {
  if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && *runtime) {
    return fs::path(runtime) / "quarnel" / "ports";
  }
  return fs::path("/tmp") / ("quarnel-" + std::to_string(::getuid())) / "ports";
}

VirtualPortPublication::VirtualPortPublication(const std::string& name, const std::string& target) {
  const fs::path dir = VirtualPortDirectory();
  std::error_code ec;
  fs::create_directories(dir, ec);
  if (ec) throw std::system_error(ec, "cannot create " + dir.string());
  ::chmod(dir.c_str(), 0700);
  link_ = dir / name;
  lock_ = LockPathOf(link_);
  for (int attempt = 1; lock_fd_ < 0; ++attempt) {
    lock_fd_ = TakeEntryLock(lock_);
    if (lock_fd_ >= 0) break;
    if (errno != EWOULDBLOCK) {
      throw std::system_error(errno, std::generic_category(), "cannot lock " + lock_.string());
    }
    if (attempt == kLockAttempts) {
      throw VirtualPortInUse("the port name '" + name + "' is in use (" + link_.string() + ")");
    }
    std::this_thread::sleep_for(kLockRetryPause);
  }
  // Whatever had the name before is stale: its process let go of the lock.
  fs::remove(link_, ec);
  fs::create_symlink(target, link_, ec);
  if (ec) {
    const std::error_code failure = ec;
    RemoveEntry(link_, lock_, lock_fd_);
    lock_fd_ = -1;
    throw std::system_error(failure, "cannot publish " + link_.string());
  }
}

VirtualPortPublication::~VirtualPortPublication() {
  Withdraw();
}

void VirtualPortPublication::Withdraw() noexcept {
  if (lock_fd_ < 0) return;
  RemoveEntry(link_, lock_, lock_fd_);
  lock_fd_ = -1;
}

std::vector<std::string> ListVirtualPorts() {
  std::vector<std::string> ports;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(VirtualPortDirectory(), ec)) {
    if (entry.path().filename().string().starts_with(".")) continue;  // locks
    if (!EntryIsLive(entry.path())) continue;
    if (fs::exists(entry.path(), ec)) ports.push_back(entry.path().string());
  }
  std::sort(ports.begin(), ports.end(), NaturalLess);
  return ports;
}

bool CheckVirtualPortEntry(const fs::path& path) {
  const fs::path entry = path.lexically_normal();
  if (entry.parent_path() != VirtualPortDirectory().lexically_normal()) return true;
  const std::string name = entry.filename().string();
  if (name.empty() || name.starts_with(".")) return true;
  std::error_code ec;
  if (!fs::is_symlink(entry, ec)) return true;  // nothing there to check
  return EntryIsLive(entry);
}

}  // namespace platform
