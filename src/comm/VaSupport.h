#pragma once
// Support objects of the serial component: wait events, a re-entrant lock,
// the component's exception, millisecond time-outs and a bit test. None of
// them knows about serial ports.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/manual_reset_event.h"
#include "platform/recursive_lock.h"
#include "toolkit/exceptions.h"

namespace comm {

enum TVaWaitResult { wtSignaled, wtTimeout, wtAbandoned, wtError };

// Owns one waitable system object.
class TVaHandleObject {
 public:
  TVaHandleObject() = default;
  ~TVaHandleObject();
  TVaHandleObject(const TVaHandleObject&) = delete;
  TVaHandleObject& operator=(const TVaHandleObject&) = delete;

  // Null when creation failed; waits then end in wtError.
  platform::ManualResetEvent* Handle() const { return handle_.get(); }
  // The platform error of the last failed wait; 0 at creation.
  int32_t LastError() const { return last_error_; }

  // timeout_ms: milliseconds, platform::kInfinite for no limit.
  TVaWaitResult WaitFor(uint32_t timeout_ms);

 protected:
  std::unique_ptr<platform::ManualResetEvent> handle_;

 private:
  int32_t last_error_ = 0;
};

class TVaEvent : public TVaHandleObject {
 public:
  void Signal();
  void Reset();
};

// A manual-reset event, not signalled at creation.
class TVaWaitEvent : public TVaEvent {
 public:
  TVaWaitEvent();
};

// A lock that the holding thread may enter again.
class TVaCriticalSection {
 public:
  TVaCriticalSection() = default;
  TVaCriticalSection(const TVaCriticalSection&) = delete;
  TVaCriticalSection& operator=(const TVaCriticalSection&) = delete;

  void Enter() { lock_.Enter(); }
  void Leave() { lock_.Leave(); }

 private:
  platform::RecursiveLock lock_;
};

// Enter for the lifetime of a scope.
class TVaLockGuard {
 public:
  explicit TVaLockGuard(TVaCriticalSection& section) : section_(section) { section_.Enter(); }
  ~TVaLockGuard() { section_.Leave(); }
  TVaLockGuard(const TVaLockGuard&) = delete;
  TVaLockGuard& operator=(const TVaLockGuard&) = delete;

 private:
  TVaCriticalSection& section_;
};

// The one exception the serial component raises. It keeps the system error
// number behind its message, so a caller can act on the cause without
// reading the text.
class EVaCommError : public tk::Exception {
 public:
  explicit EVaCommError(const std::string& message, int error_code = 0)
      : tk::Exception(message), error_code_(error_code) {}
  std::string ClassName() const override { return "EVaCommError"; }
  // The system error number (errno on POSIX); 0 for a failure that has none,
  // such as a full output buffer or a port that is open.
  int ErrorCode() const { return error_code_; }

 private:
  int error_code_;
};

// Fills a format of the component, a message or a device name: %d takes
// `number`, %s takes `text` (and stays as it is without one), %% is a
// percent sign; anything else stays as it is, so a stray % can never read an
// argument that is not there. A format without placeholders comes back
// unchanged.
std::string FillFormat(std::string_view fmt, int64_t number,
                       std::optional<std::string_view> text = std::nullopt);
// A system error text as it goes into a message: at most 256 characters,
// trailing blanks, control characters and full stops removed.
std::string CleanSystemText(const std::string& text);

// A millisecond time-out on the platform's 32-bit tick.
struct TVaTimer {
  uint32_t StartTick = 0;
  uint32_t Interval = 0;
};

void StartTimer(TVaTimer& timer, uint32_t interval);
// True once strictly more than Interval ms have passed; right across the
// tick's wrap-around.
bool TimerExpired(const TVaTimer& timer);

// True when bit & mask, as a signed 32-bit value, is positive.
bool MaskTest(int32_t bit, int32_t mask);

}  // namespace comm
