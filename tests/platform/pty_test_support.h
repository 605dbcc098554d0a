#pragma once
// Helpers for tests that drive a device over a pseudo-terminal.
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>
#include <system_error>

namespace platform::testing {

// Waits up to `ms` for `fd` to become readable.
inline bool WaitReadable(int fd, int ms = 2000) {
  pollfd pfd{fd, POLLIN, 0};
  return ::poll(&pfd, 1, ms) == 1 && (pfd.revents & POLLIN);
}

inline void WriteAll(int fd, const std::string& text) {
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n <= 0) return;
    done += static_cast<size_t>(n);
  }
}

// Reads what arrives within `ms` after the first byte, up to `max` bytes.
inline std::string ReadAvailable(int fd, size_t max = 4096, int ms = 2000) {
  std::string got;
  while (got.size() < max && WaitReadable(fd, got.empty() ? ms : 50)) {
    char buf[4096];
    const ssize_t n = ::read(fd, buf, std::min(sizeof buf, max - got.size()));
    if (n <= 0) break;
    got.append(buf, static_cast<size_t>(n));
  }
  return got;
}

// Reads until `count` bytes have come or `limit` has passed.
inline std::string ReadUpTo(int fd, size_t count, std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  std::string got;
  while (got.size() < count) {
    const auto left =
        std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0 || !WaitReadable(fd, static_cast<int>(left.count()))) break;
    char buf[4096];
    const ssize_t n = ::read(fd, buf, std::min(sizeof buf, count - got.size()));
    if (n <= 0) break;
    got.append(buf, static_cast<size_t>(n));
  }
  return got;
}

// The descriptor by which this process holds `path` open, or -1. The device
// under test keeps its descriptor to itself; a test looks at the line from
// outside, as another tool would.
inline int DescriptorOf(const std::string& path) {
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd", ec)) {
    std::error_code link_ec;
    if (std::filesystem::read_symlink(entry.path(), link_ec) == path) {
      return std::stoi(entry.path().filename().string());
    }
  }
  return -1;
}

// A plain descriptor on a device, closed on scope exit.
class ScopedFd {
 public:
  explicit ScopedFd(const std::string& path)
      : fd_(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC)) {}
  ~ScopedFd() {
    if (fd_ >= 0) ::close(fd_);
  }
  ScopedFd(const ScopedFd&) = delete;
  ScopedFd& operator=(const ScopedFd&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

}  // namespace platform::testing
