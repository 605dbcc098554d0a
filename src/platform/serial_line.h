#pragma once
// The system's part of the serial device (serial_device.h): the line itself.
// It opens and configures the line, takes in what has arrived, waits for
// input or a wake-up, and writes; it says which system error is which. The
// device's portable core does everything around that once for every system:
// argument checks, the receive queue, events, which failures count, the
// device's end, shutting down.
//
// The core calls the members with its lock held, all but WaitForInput and
// WriteSome, which run outside it, at most one wait and one write at a time.
// Close comes once neither runs, and nothing comes after it.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "platform/comm_records.h"
#include "platform/manual_reset_event.h"

namespace platform {

// Where a line hands over what it has taken in from the system.
class LineInput {
 public:
  // Data bytes, in the order they arrived.
  virtual void Put(std::span<const uint8_t> bytes) = 0;
  // Line errors (kCe*); the events they raise are the core's business.
  virtual void NoteLineErrors(uint32_t errors) = 0;
  // Changes of the modem lines (kEvCts, kEvDsr, kEvRing, kEvRlsd).
  virtual void NoteEvents(uint32_t events) = 0;
  // A failure that did not stop the line from taking in the rest.
  virtual void NoteFailure(int error) = 0;

 protected:
  ~LineInput() = default;
};

// The end of a write: by the time, the caller's cancel event or a shutdown.
class Deadline {
 public:
  // kInfinite: none.
  explicit Deadline(uint32_t timeout_ms)
      : infinite_(timeout_ms == kInfinite),
        at_(std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms)) {}
  // kInfinite when there is none; 0 once it has passed.
  uint32_t RemainingMs() const {
    if (infinite_) return kInfinite;
    const auto left =
        std::chrono::ceil<std::chrono::milliseconds>(at_ - std::chrono::steady_clock::now());
    if (left.count() <= 0) return 0;
    return static_cast<uint32_t>(std::min<long long>(left.count(), kInfinite - 1));
  }

 private:
  bool infinite_;
  std::chrono::steady_clock::time_point at_;
};

struct WriteStep {
  enum class End { kSent, kCancelled, kTimedOut, kShutDown, kFailed };
  int sent = 0;  // also on the other ends: what went out before
  End end = End::kSent;
  int error = 0;  // for kFailed
};

// What a wait for input is to watch, set up under the lock.
struct InputWatch {
  int error = 0;         // setting it up failed
  bool arrived = false;  // input came in at once and has been handed over
  bool watch = false;    // the wait is to end when input arrives
};

struct WaitEnd {
  bool woken = false;  // the wake-up event ended it
  int error = 0;       // waiting failed
};

// The reads that TakeArrived makes at most in one go, so a flood of input
// cannot hold the device's lock for long; a wait comes back for the rest at
// once.
constexpr int kMaxReadsPerTake = 16;

class SerialLine {
 public:
  // Opens `path` for exclusive use, in raw mode, with its input flushed;
  // only serial lines are taken (serial_device.h says with which errors).
  // nullptr with *error set on failure, after everything is undone.
  static std::unique_ptr<SerialLine> Open(const std::string& path, int* error);

  virtual ~SerialLine() = default;

  // Each returns 0 or the system's error.
  virtual int Configure(const Dcb& dcb) = 0;
  // The events the device now reports, for a system that must prepare for
  // some of them.
  virtual int WatchEvents(uint32_t mask) = 0;
  virtual void AdviseQueueSizes(uint32_t read_size, uint32_t write_size) = 0;

  // Hands over everything that has arrived, without waiting. Returns the
  // error that stopped it, if any; a hang-up returns one that means gone.
  virtual int TakeArrived(LineInput& input) = 0;
  // Bytes the system holds to send, as far as it tells (0 otherwise).
  virtual uint32_t OutputQueued() = 0;

  // Before a wait: `want_input` when arriving data is to end it.
  virtual InputWatch PrepareWait(bool want_input, LineInput& input) = 0;
  // Waits until watched input arrives, `wakeup` or `changed` is signalled,
  // the line hangs up or `wait_ms` passes (kInfinite: no limit).
  virtual WaitEnd WaitForInput(const InputWatch& watch, ManualResetEvent& wakeup,
                               ManualResetEvent& changed, uint32_t wait_ms) = 0;
  // Sends from the front of `bytes`, waiting for room until the deadline,
  // `cancel` (may be null) or `shut_down`; returns once something went out
  // (sent may then be less than all) or it cannot.
  virtual WriteStep WriteSome(std::span<const uint8_t> bytes, ManualResetEvent* cancel,
                              ManualResetEvent& shut_down, const Deadline& deadline) = 0;

  // Ends what is pending (handing over bytes it already holds), puts back
  // the settings the line had before Open, and releases it.
  virtual void Close(LineInput& input) = 0;
};

// The system's numbers for the failures that the device reports itself
// (serial_device.h names them).
struct DeviceErrorCodes {
  int invalid_argument;
  int cancelled;
  int timed_out;
  int shut_down;
  int no_progress;  // a write that sends nothing, yet does not fail
};
extern const DeviceErrorCodes kDeviceErrors;
void SetLastSystemError(int code);

}  // namespace platform
