#pragma once
// A manual-reset event: once signalled it stays signalled, releasing every
// waiter, until someone resets it. The platform's serial device can wait for
// its port and for such an event at once.
#include <cstdint>
#include <memory>
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
  // Error when the event could not be created (the last error is set to the
  // cause); Abandoned never occurs (it belongs to mutexes).
  WaitResult Wait(uint32_t timeout_ms);

  // The system error of a failed creation, 0 otherwise.
  int CreationError() const;

 private:
  friend struct ManualResetEventAccess;  // the platform's own files
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// Waits until one of `events` is signalled and returns its index (the lowest
// when several are); -1 on timeout or error (the last error set on error).
int WaitForAny(std::span<ManualResetEvent* const> events, uint32_t timeout_ms);

}  // namespace platform
