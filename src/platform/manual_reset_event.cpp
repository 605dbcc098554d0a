#include "platform/manual_reset_event.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <vector>

namespace platform {
namespace {

using Clock = std::chrono::steady_clock;

// Polls `fds` until one is ready or `timeout_ms` has passed, resuming after
// signals with the time that is left. Returns poll's result.
int PollFor(std::vector<pollfd>& fds, uint32_t timeout_ms) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
  for (;;) {
    int wait_ms = -1;
    if (timeout_ms != kInfinite) {
      const auto left =
          std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
      wait_ms = left <= 0 ? 0 : static_cast<int>(left > INT_MAX ? INT_MAX : left);
    }
    const int ready = ::poll(fds.data(), fds.size(), wait_ms);
    if (ready >= 0 || errno != EINTR) return ready;
  }
}

}  // namespace

ManualResetEvent::ManualResetEvent(bool initially_signaled) {
  fd_ = ::eventfd(initially_signaled ? 1 : 0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (fd_ < 0) creation_error_ = errno;
}

ManualResetEvent::~ManualResetEvent() {
  if (fd_ >= 0) ::close(fd_);
}

void ManualResetEvent::Signal() {
  if (fd_ < 0) return;
  // The counter only has to be non-zero; a full counter (EAGAIN) is still
  // signalled.
  const uint64_t one = 1;
  while (::write(fd_, &one, sizeof one) < 0 && errno == EINTR) {
  }
}

void ManualResetEvent::Reset() {
  if (fd_ < 0) return;
  // One read takes the whole counter to zero.
  uint64_t value = 0;
  while (::read(fd_, &value, sizeof value) < 0 && errno == EINTR) {
  }
}

bool ManualResetEvent::IsSignaled() const {
  if (fd_ < 0) return false;
  pollfd pfd{fd_, POLLIN, 0};
  int ready;
  while ((ready = ::poll(&pfd, 1, 0)) < 0 && errno == EINTR) {
  }
  return ready > 0 && (pfd.revents & POLLIN);
}

WaitResult ManualResetEvent::Wait(uint32_t timeout_ms) {
  if (fd_ < 0) {
    errno = creation_error_;
    return WaitResult::Error;
  }
  std::vector<pollfd> fds{{fd_, POLLIN, 0}};
  const int ready = PollFor(fds, timeout_ms);
  if (ready < 0) return WaitResult::Error;
  return ready == 0 ? WaitResult::Timeout : WaitResult::Signaled;
}

int WaitForAny(std::span<ManualResetEvent* const> events, uint32_t timeout_ms) {
  if (events.empty()) {
    errno = EINVAL;  // nothing could ever end the wait
    return -1;
  }
  std::vector<pollfd> fds;
  fds.reserve(events.size());
  for (const ManualResetEvent* event : events) {
    if (event == nullptr) {
      errno = EINVAL;
      return -1;
    }
    if (event->PollFd() < 0) {
      errno = event->CreationError();
      return -1;
    }
    fds.push_back({event->PollFd(), POLLIN, 0});
  }
  const int ready = PollFor(fds, timeout_ms);
  if (ready < 0) return -1;
  for (size_t i = 0; i < fds.size(); ++i) {
    if (fds[i].revents & POLLIN) return static_cast<int>(i);
  }
  errno = ETIMEDOUT;
  return -1;
}

}  // namespace platform
