#include "platform/manual_reset_event_posix.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <vector>

#include "platform/manual_reset_event.h"

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

ManualResetEvent::ManualResetEvent(bool initially_signaled) : impl_(std::make_unique<Impl>()) {
  impl_->fd = ::eventfd(initially_signaled ? 1 : 0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (impl_->fd < 0) impl_->creation_error = errno;
}

ManualResetEvent::~ManualResetEvent() {
  if (impl_->fd >= 0) ::close(impl_->fd);
}

int ManualResetEvent::CreationError() const {
  return impl_->creation_error;
}

void ManualResetEvent::Signal() {
  const int fd = impl_->fd;
  if (fd < 0) return;
  // The counter only has to be non-zero; a full counter (EAGAIN) is still
  // signalled.
  const uint64_t one = 1;
  while (::write(fd, &one, sizeof one) < 0 && errno == EINTR) {
  }
}

void ManualResetEvent::Reset() {
  const int fd = impl_->fd;
  if (fd < 0) return;
  // One read takes the whole counter to zero.
  uint64_t value = 0;
  while (::read(fd, &value, sizeof value) < 0 && errno == EINTR) {
  }
}

bool ManualResetEvent::IsSignaled() const {
  if (impl_->fd < 0) return false;
  pollfd pfd{impl_->fd, POLLIN, 0};
  int ready;
  while ((ready = ::poll(&pfd, 1, 0)) < 0 && errno == EINTR) {
  }
  return ready > 0 && (pfd.revents & POLLIN);
}

WaitResult ManualResetEvent::Wait(uint32_t timeout_ms) {
  if (impl_->fd < 0) {
    errno = impl_->creation_error;
    return WaitResult::Error;
  }
  std::vector<pollfd> fds{{impl_->fd, POLLIN, 0}};
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
    const int fd = ManualResetEventAccess::PollFd(*event);
    if (fd < 0) {
      errno = event->CreationError();
      return -1;
    }
    fds.push_back({fd, POLLIN, 0});
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
