#include "host_port.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace simtest {
namespace {

using Clock = std::chrono::steady_clock;

int MillisLeft(Clock::time_point end) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now());
  return left.count() < 0 ? 0 : static_cast<int>(left.count());
}

}  // namespace

HostPort::HostPort(const std::string& path) {
  fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd_ < 0) throw std::runtime_error("cannot open " + path + ": " + std::strerror(errno));
  termios tio{};
  ::tcgetattr(fd_, &tio);
  ::cfmakeraw(&tio);
  ::cfsetspeed(&tio, B115200);
  ::tcsetattr(fd_, TCSANOW, &tio);
}

HostPort::~HostPort() {
  if (fd_ >= 0) ::close(fd_);
}

void HostPort::Send(const std::string& text) {
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t put = ::write(fd_, text.data() + done, text.size() - done);
    if (put > 0) {
      done += static_cast<size_t>(put);
    } else if (put < 0 && errno == EAGAIN) {
      pollfd fd{fd_, POLLOUT, 0};
      ::poll(&fd, 1, 100);
    } else {
      throw std::runtime_error("write to the port failed");
    }
  }
}

std::vector<std::string> HostPort::ReceiveChunks(size_t count, std::chrono::milliseconds limit) {
  std::vector<std::string> chunks;
  size_t total = 0;
  const auto end = Clock::now() + limit;
  while (total < count) {
    pollfd fd{fd_, POLLIN, 0};
    if (::poll(&fd, 1, MillisLeft(end)) <= 0) break;
    char buffer[256];
    const ssize_t got = ::read(fd_, buffer, sizeof buffer);
    if (got <= 0) break;
    chunks.emplace_back(buffer, static_cast<size_t>(got));
    total += static_cast<size_t>(got);
  }
  return chunks;
}

std::string HostPort::Receive(size_t count, std::chrono::milliseconds limit) {
  std::string text;
  for (const auto& chunk : ReceiveChunks(count, limit)) text += chunk;
  return text;
}

std::string HostPort::ReceiveFor(std::chrono::milliseconds period) {
  return Receive(static_cast<size_t>(-1), period);
}

bool HostPort::WaitForHangUp(std::chrono::milliseconds limit) {
  const auto end = Clock::now() + limit;
  while (true) {
    pollfd fd{fd_, POLLIN, 0};
    if (::poll(&fd, 1, MillisLeft(end)) <= 0) return false;
    char buffer[256];
    const ssize_t got = ::read(fd_, buffer, sizeof buffer);
    if (got == 0 || (got < 0 && errno == EIO)) return true;
  }
}

std::string WithLineEnd(const std::string& record) {
  return record + "\r\n";
}

}  // namespace simtest
