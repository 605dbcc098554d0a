#pragma once
// A serial device over a Linux terminal, behaving like the driver the comm
// component was written for: exclusive use, its own receive queue (so queue
// counts and the event character work as expected), comm events, and waits
// that a wake-up event can always end.
//
// Thread safety: WaitCommEvent (event thread), Write (writer thread) and
// Read/ClearError/SetState... (main thread) may run at the same time. The
// object must outlive every call in progress: stop the waiting threads (wake
// them with their wake-up event) before destroying it.
//
// Line state changes (CTS, DSR, ring, carrier) and line errors are taken
// from the driver's counters whenever the device is looked at; a wait is not
// woken by a line change alone, since poll() cannot see one.
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>

#include "platform/comm_records.h"
#include "platform/manual_reset_event.h"

namespace platform {

// Counters of line events kept by the driver (where it keeps them).
struct LineCounts {
  int cts = 0, dsr = 0, rng = 0, dcd = 0;
  int frame = 0, overrun = 0, parity = 0, brk = 0, buf_overrun = 0;
};

class SerialDevice {
 public:
  // Opens `path` for exclusive use. nullptr with errno on failure: ENOENT
  // when missing, EBUSY when this or another process holds the port.
  static std::unique_ptr<SerialDevice> Open(const std::string& path);

  ~SerialDevice();
  SerialDevice(const SerialDevice&) = delete;
  SerialDevice& operator=(const SerialDevice&) = delete;

  // Each returns false with errno on failure.
  bool SetState(const Dcb& dcb);
  bool GetState(Dcb* dcb) const;
  // read_size: capacity of the receive queue; write_size is advisory (the
  // kernel owns the transmit buffer).
  bool SetupQueues(uint32_t read_size, uint32_t write_size);
  // Stored for the caller; reads never block here.
  bool SetTimeouts(const CommTimeouts& timeouts);
  bool GetTimeouts(CommTimeouts* timeouts) const;
  bool SetMask(uint32_t ev_mask);
  uint32_t Mask() const;

  // Pulls pending input into the queue, then reports and clears the
  // accumulated kCe* flags and the queue counts. Either pointer may be null.
  // False with errno EIO once the device has hung up.
  bool ClearError(uint32_t* errors, ComStat* stat);

  // Takes up to `count` bytes (0 is fine); -1 with errno on error. Never
  // blocks.
  int Read(void* buf, int count);

  // Writes all of `buf` unless `cancel` (may be null) is signalled, the
  // time-out passes (kInfinite: none) or an error occurs. Returns the bytes
  // written (partial on cancel/time-out, errno ECANCELED/ETIMEDOUT), -1 with
  // errno on an error with nothing written.
  int Write(const void* buf, int count, ManualResetEvent* cancel, uint32_t timeout_ms);

  // Blocks until a monitored event occurs (true, *occurred = event bits) or
  // `wakeup` is signalled (true, *occurred = 0; the caller resets it). Events
  // already pending are reported at once, before a signalled wakeup. False
  // with errno EIO at once once the device has hung up or failed lastingly;
  // the caller should then wait for its wakeup instead of calling again.
  // One waiting thread at a time.
  bool WaitCommEvent(uint32_t* occurred, ManualResetEvent& wakeup);

  // Discards the receive queue and the kernel's buffers.
  bool Purge(bool rx, bool tx);

  bool HungUp() const;
  int Fd() const { return fd_; }

  // Ends this device's use for good, for a port that is closed while other
  // threads may still hold the object: wakes a WaitCommEvent and a Write in
  // progress (they fail with EBADF), waits until they have left, then closes
  // the descriptor, so the port can be opened again at once. Every later
  // call fails at once (EBADF; Read and ClearError still hand out what was
  // queued). Idempotent.
  void Shutdown();

 private:
  explicit SerialDevice(int fd);

  // Each runs with mutex_ held.
  // Moves pending input from the descriptor into the queue, noting events
  // and line errors; false once the device has failed lastingly.
  bool FillQueueLocked();
  void CollectLineCountsLocked();
  void NoteEventsLocked(uint32_t events);
  void MarkLastingErrorLocked(int err);

  // Counts a Write or WaitCommEvent while it uses the descriptor outside
  // mutex_; Shutdown waits for these to leave before it closes it. Refused
  // (entered() false) once the device is shut down.
  class UnlockedUse {
   public:
    explicit UnlockedUse(SerialDevice& device) : device_(device) {
      std::lock_guard lock(device_.mutex_);
      if (device_.shut_down_) return;
      ++device_.unlocked_uses_;
      entered_ = true;
    }
    ~UnlockedUse() {
      if (!entered_) return;
      std::lock_guard lock(device_.mutex_);
      if (--device_.unlocked_uses_ == 0) device_.unlocked_uses_done_.notify_all();
    }
    UnlockedUse(const UnlockedUse&) = delete;
    UnlockedUse& operator=(const UnlockedUse&) = delete;
    bool entered() const { return entered_; }

   private:
    SerialDevice& device_;
    bool entered_ = false;
  };

  int fd_;  // -1 after Shutdown
  mutable std::mutex mutex_;
  std::deque<uint8_t> queue_;
  size_t queue_capacity_ = 4096;
  Dcb dcb_{};
  CommTimeouts timeouts_{};
  uint32_t mask_ = 0;
  uint32_t pending_events_ = 0;  // monitored kEv* bits not yet reported
  uint32_t errors_ = 0;          // kCe* bits not yet cleared
  int lasting_error_ = 0;        // errno of a hang-up or lasting failure
  bool above_80_percent_ = false;
  bool tx_pending_ = false;  // written since the last transmit-empty report
  bool have_line_counts_ = false;
  LineCounts line_counts_{};
  // Wakes a WaitCommEvent in poll() when another thread changed what it
  // waits for (events noted, room made in a full queue, mask changed).
  ManualResetEvent state_changed_;
  bool shut_down_ = false;
  int unlocked_uses_ = 0;
  std::condition_variable unlocked_uses_done_;
  ManualResetEvent shutdown_event_;  // wakes a Write waiting for room
};

}  // namespace platform
