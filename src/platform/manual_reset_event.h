#pragma once
// A manual-reset event: once signalled it stays signalled, releasing every
// waiter, until someone resets it. It is backed by an eventfd so a thread can
// wait for a port and for its wake-up in one poll().
#include <cstdint>
#include <span>

namespace platform {

constexpr uint32_t kInfinite = 0xFFFFFFFF;

enum class WaitResult { Signaled, Timeout, Abandoned, Error };

class ManualResetEvent {
 public:
  explicit ManualResetEvent(bool initially_signaled = false);
  ~ManualResetEvent();
  ManualResetEvent(const ManualResetEvent&) = delete;
  ManualResetEvent& operator=(const ManualResetEvent&) = delete;

  void Signal();
  void Reset();
  bool IsSignaled() const;

  // Waits until signalled or `timeout_ms` passes (kInfinite: no limit).
  // Error when the event could not be created (errno is set to the cause);
  // Abandoned never occurs (it belongs to mutexes on other systems).
  WaitResult Wait(uint32_t timeout_ms);

  // Polls readable exactly while the event is signalled; -1 when creation
  // failed.
  int PollFd() const { return fd_; }

  // errno of a failed creation, 0 otherwise.
  int CreationError() const { return creation_error_; }

 private:
  int fd_ = -1;
  int creation_error_ = 0;
};

// Waits until one of `events` is signalled and returns its index (the lowest
// when several are); -1 on timeout or error (errno set on error).
int WaitForAny(std::span<ManualResetEvent* const> events, uint32_t timeout_ms);

}  // namespace platform
