// What the serial device keeps the same way on every system: the receive
// queue, the events and line errors not yet reported, the device's end, and
// the count of calls that use the system's handle outside the lock, which
// shutting down waits for. `Error` is the system's error number type.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>

#include "platform/comm_records.h"
#include "platform/manual_reset_event.h"
#include "platform/receive_queue.h"

namespace platform {

template <typename Error>
struct SerialDeviceState {
  // Each ...Locked runs with `mutex` held.

  void NoteEventsLocked(uint32_t events) {
    // The device's end is told whatever the mask.
    const uint32_t reported = events & (mask | kEvDeviceGone);
    if (reported & ~pending_events) state_changed.Signal();
    pending_events |= reported;
  }
  void NoteGoneLocked(Error err) {
    if (gone_error != 0 || shut_down) return;
    gone_error = err;
    NoteEventsLocked(kEvDeviceGone);
  }
  // A failed read, write or wait: the device is gone, or the failure is
  // transient (noted as kCeIoe). Returns `err`.
  Error NoteFailureLocked(Error err, bool means_gone) {
    if (means_gone) {
      NoteGoneLocked(err);
    } else {
      errors |= kCeIoe;
    }
    return err;
  }
  bool FailedForGoodLocked() const { return shut_down || gone_error != 0; }

  // Marks the device shut down, so that every call that looks at the handle
  // under the lock fails at once, wakes the waits and waits for the calls
  // using the handle outside the lock to leave. The caller then releases it.
  void BeginShutdown(std::unique_lock<std::mutex>& lock) {
    shut_down = true;
    state_changed.Signal();
    shutdown_event.Signal();
    unlocked_uses_done.wait(lock, [this] { return unlocked_uses == 0; });
  }

  mutable std::mutex mutex;
  ReceiveQueue queue;
  uint32_t mask = 0;
  uint32_t pending_events = 0;  // kEv* bits not yet reported
  uint32_t errors = 0;          // kCe* bits not yet cleared
  Error gone_error = 0;         // the error that said the device vanished
  bool tx_pending = false;      // written since the last transmit-empty report
  // Wakes a wait for events when another thread changed what it waits for
  // (events noted, mask changed).
  ManualResetEvent state_changed;
  bool shut_down = false;
  // Writes and waits using the handle outside the mutex; shutting down waits
  // for them to leave before the handle is released.
  int unlocked_uses = 0;
  std::condition_variable unlocked_uses_done;
  ManualResetEvent shutdown_event;  // ends a write in progress

  // Counts a write or wait while it uses the handle outside the mutex.
  // Refused (entered() false) once the device is shut down.
  class UnlockedUse {
   public:
    explicit UnlockedUse(SerialDeviceState& device) : device_(device) {
      std::lock_guard lock(device_.mutex);
      if (device_.shut_down) return;
      ++device_.unlocked_uses;
      entered_ = true;
    }
    ~UnlockedUse() {
      if (!entered_) return;
      std::lock_guard lock(device_.mutex);
      if (--device_.unlocked_uses == 0) device_.unlocked_uses_done.notify_all();
    }
    UnlockedUse(const UnlockedUse&) = delete;
    UnlockedUse& operator=(const UnlockedUse&) = delete;
    bool entered() const { return entered_; }

   private:
    SerialDeviceState& device_;
    bool entered_ = false;
  };
};

}  // namespace platform
