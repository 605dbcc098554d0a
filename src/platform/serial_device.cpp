// The serial device's portable core: everything around the line's own I/O,
// the same on every system. The line (serial_line.h) reads, waits and
// writes; the core keeps the receive queue, the events and line errors not
// yet reported, decides which failures count and when the device has gone,
// and shuts it down while other threads may still be inside.
#include "platform/serial_device.h"

#include <algorithm>
#include <climits>
#include <condition_variable>
#include <mutex>

#include "platform/receive_queue.h"
#include "platform/serial_line.h"
#include "platform/system_error.h"

namespace platform {
namespace {

// How often a wait looks at the transmit queue while it waits for it to run
// empty: no system signals that moment.
constexpr uint32_t kTxEmptyPollMs = 10;

bool MeansGone(int err) {
  return ClassifySystemError(err, ErrorOccasion::kInUse) == ErrorKind::kGone;
}

bool IsBadBuffer(const void* buf, int count) {
  return count < 0 || (count > 0 && buf == nullptr);
}

// Sets the calling thread's last error when it leaves the function, after
// every lock declared later is released (on Windows an unlock may change the
// last error).
struct LastErrorOnReturn {
  int code = 0;
  ~LastErrorOnReturn() {
    if (code != 0) SetLastSystemError(code);
  }
};

}  // namespace

struct SerialDevice::Impl final : LineInput {
  explicit Impl(std::unique_ptr<SerialLine> opened) : line(std::move(opened)) {}

  // Each ...Locked runs with `mutex` held, and so does what the line calls
  // back while it is handed the Impl.

  void Put(std::span<const uint8_t> bytes) override {
    NoteEventsLocked(queue.Put(bytes));
    errors |= queue.TakeErrors();
  }
  void NoteLineErrors(uint32_t line_errors) override {
    errors |= line_errors;
    uint32_t events = 0;
    if (line_errors & kCeBreak) events |= kEvBreak;
    if (line_errors & (kCeFrame | kCeOverrun | kCeRxParity)) events |= kEvErr;
    NoteEventsLocked(events);
  }
  void NoteEvents(uint32_t events) override { NoteEventsLocked(events); }
  void NoteFailure(int err) override { NoteFailureLocked(err); }

  void NoteEventsLocked(uint32_t events) {
    // The device's end is told whatever the mask.
    const uint32_t reported = events & (mask | kEvDeviceGone);
    if (reported & ~pending_events) state_changed.Signal();
    pending_events |= reported;
  }
  void NoteGoneLocked(int err) {
    if (gone_error != 0 || shut_down) return;
    gone_error = err;
    NoteEventsLocked(kEvDeviceGone);
  }
  // A failed read, write or wait: the device is gone, or the failure is
  // transient (noted as kCeIoe). Returns the error if transient, else 0.
  int NoteFailureLocked(int err) {
    if (MeansGone(err)) {
      NoteGoneLocked(err);
      return 0;
    }
    errors |= kCeIoe;
    return err;
  }
  bool FailedForGoodLocked() const { return shut_down || gone_error != 0; }
  int LastingErrorLocked() const { return shut_down ? kDeviceErrors.shut_down : gone_error; }

  // Moves what has arrived into the queue. Returns 0, or the error of a
  // transient failure.
  int FillQueueLocked() {
    if (FailedForGoodLocked()) return 0;
    const int err = line->TakeArrived(*this);
    return err == 0 ? 0 : NoteFailureLocked(err);
  }

  // Marks the device shut down, so that every call that looks at the line
  // under the lock fails at once, wakes the waits, waits for the calls using
  // the line outside the lock to leave, and releases the line.
  void ShutDown(std::unique_lock<std::mutex>& lock) {
    shut_down = true;
    state_changed.Signal();
    shutdown_event.Signal();
    unlocked_uses_done.wait(lock, [this] { return unlocked_uses == 0; });
    line->Close(*this);
    line.reset();
  }

  mutable std::mutex mutex;
  std::unique_ptr<SerialLine> line;  // none after Shutdown
  ReceiveQueue queue;
  uint32_t mask = 0;
  uint32_t pending_events = 0;  // kEv* bits not yet reported
  uint32_t errors = 0;          // kCe* bits not yet cleared
  int gone_error = 0;           // the error that said the device vanished
  bool tx_pending = false;      // written since the last transmit-empty report
  // Wakes a wait for events when another thread changed what it waits for
  // (events noted, mask changed).
  ManualResetEvent state_changed;
  bool shut_down = false;
  // Writes and waits using the line outside the mutex; shutting down waits
  // for them to leave before the line is released.
  int unlocked_uses = 0;
  std::condition_variable unlocked_uses_done;
  ManualResetEvent shutdown_event;  // ends a write in progress

  // Counts a write or wait while it uses the line outside the mutex.
  // Refused (entered() false) once the device is shut down.
  class UnlockedUse {
   public:
    explicit UnlockedUse(Impl& device) : device_(device) {
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
    Impl& device_;
    bool entered_ = false;
  };
};

std::unique_ptr<SerialDevice> SerialDevice::Open(const std::string& path) {
  // Declared first: the error is set after a failed line has been undone.
  LastErrorOnReturn result;
  std::unique_ptr<SerialLine> line = SerialLine::Open(path, &result.code);
  if (!line) return nullptr;
  return std::unique_ptr<SerialDevice>(new SerialDevice(std::make_unique<Impl>(std::move(line))));
}

SerialDevice::SerialDevice(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

SerialDevice::~SerialDevice() {
  std::lock_guard lock(impl_->mutex);
  if (impl_->line) impl_->line->Close(*impl_);  // else released by Shutdown
}

bool SerialDevice::SetState(const Dcb& dcb) {
  Impl& d = *impl_;
  LastErrorOnReturn result;
  std::lock_guard lock(d.mutex);
  if (d.FailedForGoodLocked()) {
    result.code = d.LastingErrorLocked();
    return false;
  }
  if ((result.code = d.line->Configure(dcb)) != 0) return false;
  d.queue.SetEventChar(dcb.EvtChar);
  return true;
}

bool SerialDevice::SetupQueues(uint32_t read_size, uint32_t write_size) {
  Impl& d = *impl_;
  LastErrorOnReturn result;
  if (read_size == 0) {
    result.code = kDeviceErrors.invalid_argument;
    return false;
  }
  std::lock_guard lock(d.mutex);
  d.queue.SetCapacity(read_size);
  if (!d.FailedForGoodLocked()) d.line->AdviseQueueSizes(read_size, write_size);
  return true;
}

bool SerialDevice::SetTimeouts(const CommTimeouts& /*timeouts*/) {
  // Reads never wait, and writes get their own limit per call.
  return true;
}

bool SerialDevice::SetMask(uint32_t ev_mask) {
  Impl& d = *impl_;
  LastErrorOnReturn result;
  std::lock_guard lock(d.mutex);
  if (!d.FailedForGoodLocked() && (result.code = d.line->WatchEvents(ev_mask)) != 0) return false;
  d.mask = ev_mask;
  // Events of kinds no longer monitored are dropped, as the driver does.
  d.pending_events &= d.mask | kEvDeviceGone;
  d.state_changed.Signal();
  return true;
}

bool SerialDevice::ClearError(uint32_t* errors, ComStat* stat) {
  Impl& d = *impl_;
  LastErrorOnReturn result;
  std::lock_guard lock(d.mutex);
  d.FillQueueLocked();
  // Bytes received before the device vanished are still delivered; the
  // failure is reported once they are gone.
  if (d.FailedForGoodLocked() && d.queue.Count() == 0) {
    result.code = d.LastingErrorLocked();
    return false;
  }
  ComStat status{};
  status.cbInQue = static_cast<uint32_t>(std::min<size_t>(d.queue.Count(), UINT32_MAX));
  if (!d.FailedForGoodLocked()) status.cbOutQue = d.line->OutputQueued();
  if (errors) *errors = d.errors;
  if (stat) *stat = status;
  d.errors = 0;
  return true;
}

int SerialDevice::Read(void* buf, int count) {
  Impl& d = *impl_;
  LastErrorOnReturn result;
  if (IsBadBuffer(buf, count)) {
    result.code = kDeviceErrors.invalid_argument;
    return -1;
  }
  std::lock_guard lock(d.mutex);
  d.FillQueueLocked();
  if (d.FailedForGoodLocked() && d.queue.Count() == 0) {
    result.code = d.LastingErrorLocked();
    return -1;
  }
  return static_cast<int>(
      d.queue.Take(std::span(static_cast<uint8_t*>(buf), static_cast<size_t>(count))));
}

int SerialDevice::Write(const void* buf, int count, ManualResetEvent* cancel, uint32_t timeout_ms) {
  Impl& d = *impl_;
  LastErrorOnReturn result;
  if (IsBadBuffer(buf, count)) {
    result.code = kDeviceErrors.invalid_argument;
    return -1;
  }
  const Impl::UnlockedUse use(d);
  if (!use.entered()) {
    result.code = kDeviceErrors.shut_down;
    return -1;
  }
  {
    std::lock_guard lock(d.mutex);
    if (d.FailedForGoodLocked()) {
      result.code = d.LastingErrorLocked();
      return -1;
    }
  }
  // A stop requested before the call: nothing more goes out.
  if (cancel && cancel->IsSignaled() && count > 0) {
    result.code = kDeviceErrors.cancelled;
    return 0;
  }
  const Deadline deadline(timeout_ms);
  const std::span bytes(static_cast<const uint8_t*>(buf), static_cast<size_t>(count));
  int written = 0;
  WriteStep last;
  while (written < count) {
    last = d.line->WriteSome(bytes.subspan(static_cast<size_t>(written)), cancel, d.shutdown_event,
                             deadline);
    written += last.sent;
    if (last.end != WriteStep::End::kSent) break;
    // No driver time-out ends a write that sends nothing without failing;
    // repeated, it would spin for ever.
    if (last.sent == 0) {
      last = {0, WriteStep::End::kFailed, kDeviceErrors.no_progress};
      break;
    }
  }
  // A write that the cancel ended all the same is complete.
  if (written == count) last.end = WriteStep::End::kSent;

  std::lock_guard lock(d.mutex);
  if (written > 0) {
    d.tx_pending = true;
    // A wait that watches for the transmit queue to run empty has work now.
    if (d.mask & kEvTxEmpty) d.state_changed.Signal();
  }
  switch (last.end) {
    case WriteStep::End::kSent:
      return written;
    case WriteStep::End::kCancelled:
      result.code = kDeviceErrors.cancelled;
      return written;
    case WriteStep::End::kTimedOut:
      result.code = kDeviceErrors.timed_out;
      return written;
    case WriteStep::End::kShutDown:
      result.code = kDeviceErrors.shut_down;
      break;
    case WriteStep::End::kFailed:
      d.NoteFailureLocked(last.error);
      result.code = last.error;
      break;
  }
  return written > 0 ? written : -1;
}

bool SerialDevice::WaitCommEvent(uint32_t* occurred, ManualResetEvent& wakeup) {
  *occurred = 0;
  Impl& d = *impl_;
  LastErrorOnReturn result;
  if ((result.code = wakeup.CreationError()) != 0) return false;
  const Impl::UnlockedUse use(d);
  if (!use.entered()) {
    result.code = kDeviceErrors.shut_down;
    return false;
  }
  for (;;) {
    uint32_t wait_ms = kInfinite;
    InputWatch watch;
    {
      std::lock_guard lock(d.mutex);
      // Reset before looking, under the lock: whatever another thread
      // changes after this point signals again and ends the wait below.
      d.state_changed.Reset();
      int failure = d.FillQueueLocked();
      if (d.tx_pending && (d.mask & kEvTxEmpty) && !d.FailedForGoodLocked()) {
        if (d.line->OutputQueued() == 0) {
          d.tx_pending = false;
          d.NoteEventsLocked(kEvTxEmpty);
        } else {
          wait_ms = kTxEmptyPollMs;
        }
      }
      if (failure == 0 && d.pending_events == 0 && !d.FailedForGoodLocked()) {
        watch = d.line->PrepareWait(d.mask != 0, d);
        if (watch.error != 0) failure = d.NoteFailureLocked(watch.error);
        if (watch.arrived) continue;
      }
      if (d.pending_events) {
        *occurred = d.pending_events;
        d.pending_events = 0;
        return true;
      }
      if (d.FailedForGoodLocked()) {
        result.code = d.LastingErrorLocked();
        return false;
      }
      if (failure != 0) {
        result.code = failure;
        return false;
      }
    }
    if (wakeup.IsSignaled()) return true;
    const WaitEnd end = d.line->WaitForInput(watch, wakeup, d.state_changed, wait_ms);
    // Events that came in meanwhile stay pending for the next call.
    if (end.woken) return true;
    if (end.error != 0) {
      std::lock_guard lock(d.mutex);
      d.NoteFailureLocked(end.error);
      result.code = end.error;
      return false;
    }
  }
}

bool SerialDevice::FailedForGood() const {
  std::lock_guard lock(impl_->mutex);
  return impl_->FailedForGoodLocked();
}

bool SerialDevice::Gone(int* error) const {
  std::lock_guard lock(impl_->mutex);
  if (error) *error = impl_->gone_error;
  return impl_->gone_error != 0;
}

void SerialDevice::Shutdown() {
  std::unique_lock lock(impl_->mutex);
  if (!impl_->shut_down) impl_->ShutDown(lock);
}

}  // namespace platform
