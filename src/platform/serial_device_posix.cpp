// The serial device over a Linux terminal. The device itself only reads what
// has arrived, waits (in one poll) until something arrives or a wake-up is
// signalled, and writes; the receive queue does the rest.
#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <condition_variable>
#include <mutex>

#include "platform/line_marks_posix.h"
#include "platform/manual_reset_event_posix.h"
#include "platform/receive_queue.h"
#include "platform/serial_device.h"
#include "platform/serial_device_state.h"
#include "platform/serial_line_kind_posix.h"
#include "platform/system_error.h"
#include "platform/termios_mapping_posix.h"

namespace platform {
namespace {

// How often a wait looks at the transmit queue while it waits for it to run
// empty: poll() cannot report that moment.
constexpr int kTxEmptyPollMs = 10;
// Reads taken in one go, so a flood of input cannot hold the lock for long;
// a wait comes back for the rest at once.
constexpr int kMaxChunksPerFill = 16;

// Errors that say the device has vanished: retrying cannot help.
bool MeansGone(int err) {
  return ClassifySystemError(err, ErrorOccasion::kInUse) == ErrorKind::kGone;
}

// Counters of line events kept by the driver (where it keeps them).
struct LineCounts {
  int cts = 0, dsr = 0, rng = 0, dcd = 0;
  int frame = 0, overrun = 0, parity = 0, brk = 0, buf_overrun = 0;
};

bool ReadLineCounts(int fd, LineCounts* counts) {
  serial_icounter_struct icount{};
  if (::ioctl(fd, TIOCGICOUNT, &icount) != 0) return false;
  *counts = {icount.cts,     icount.dsr,    icount.rng, icount.dcd,        icount.frame,
             icount.overrun, icount.parity, icount.brk, icount.buf_overrun};
  return true;
}

// Opens and prepares the descriptor; -1 with errno on failure.
int OpenSerialLine(const std::string& path, SavedLineSettings* saved) {
  const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return -1;
  const auto fail = [fd](int err) {
    ::close(fd);
    errno = err;
    return -1;
  };
  // Judged before anything is changed: the operator's own terminal must
  // come out of this untouched.
  if (!IsSerialLine(fd)) return fail(errno);
  // The advisory lock is what keeps out other openers of this and other
  // processes (TIOCEXCL does not stop a privileged one); take it before
  // touching the device.
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) return fail(errno == EWOULDBLOCK ? EBUSY : errno);
  if (::ioctl(fd, TIOCEXCL) != 0) return fail(errno);
  // From here on a failure also gives up the exclusive use, which belongs to
  // the terminal and would outlive this descriptor.
  const auto fail_exclusive = [fd, &fail](int err) {
    ::ioctl(fd, TIOCNXCL);
    return fail(err);
  };
  if (!SaveLineSettings(fd, saved)) return fail_exclusive(errno);
  if (!MakeRaw(fd)) return fail_exclusive(errno);
  // Bytes that waited in the line before (a late answer to an earlier
  // connection) must not pass for an answer to what this one sends.
  if (::tcflush(fd, TCIFLUSH) != 0) {
    const int err = errno;
    RestoreLineSettings(fd, *saved);
    return fail_exclusive(err);
  }
  return fd;
}

}  // namespace

struct SerialDevice::Impl : SerialDeviceState<int> {
  Impl(int fd, const SavedLineSettings& saved) : fd(fd), saved(saved) {
    have_line_counts = ReadLineCounts(fd, &line_counts);
  }

  // Each ...Locked runs with `mutex` held.

  // Moves what has arrived into the queue, noting events, line errors and a
  // vanished device. Returns 0, or the error of a transient failure.
  int FillQueueLocked();
  void CollectLineCountsLocked();
  int NoteFailureLocked(int err) {
    return SerialDeviceState::NoteFailureLocked(err, MeansGone(err));
  }
  int LastingErrorLocked() const { return shut_down ? EBADF : gone_error; }
  void ReleaseDescriptor();

  int fd;  // -1 after Shutdown
  const SavedLineSettings saved;
  LineMarkDecoder marks;
  bool marking_breaks = false;
  bool have_line_counts = false;
  LineCounts line_counts{};
};

void SerialDevice::Impl::CollectLineCountsLocked() {
  if (!have_line_counts) return;
  LineCounts now;
  if (!ReadLineCounts(fd, &now)) return;
  const LineCounts& was = line_counts;
  uint32_t events = 0;
  if (now.cts != was.cts) events |= kEvCts;
  if (now.dsr != was.dsr) events |= kEvDsr;
  if (now.rng != was.rng) events |= kEvRing;
  if (now.dcd != was.dcd) events |= kEvRlsd;
  if (now.brk != was.brk) {
    events |= kEvBreak;
    errors |= kCeBreak;
  }
  if (now.frame != was.frame) errors |= kCeFrame;
  if (now.overrun != was.overrun) errors |= kCeOverrun;
  if (now.parity != was.parity) errors |= kCeRxParity;
  if (now.frame != was.frame || now.overrun != was.overrun || now.parity != was.parity) {
    events |= kEvErr;
  }
  if (now.buf_overrun != was.buf_overrun) errors |= kCeRxOver;
  line_counts = now;
  NoteEventsLocked(events);
}

int SerialDevice::Impl::FillQueueLocked() {
  if (FailedForGoodLocked()) return 0;
  // A hang-up shows only in poll(): a non-blocking read on a hung-up
  // terminal returns 0 just like an empty one.
  pollfd pfd{fd, POLLIN, 0};
  int ready;
  while ((ready = ::poll(&pfd, 1, 0)) < 0 && errno == EINTR) {
  }
  if (ready < 0) return NoteFailureLocked(errno);
  uint32_t events = 0;
  int failure = 0;
  // Everything that has arrived is taken, however full the queue: a full
  // queue makes room by dropping its oldest bytes and never stops reading.
  for (int chunks = 0; (pfd.revents & POLLIN) && chunks < kMaxChunksPerFill; ++chunks) {
    uint8_t chunk[4096];
    const ssize_t got = ::read(fd, chunk, sizeof chunk);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0 && errno == EAGAIN) break;
    if (got < 0) {
      failure = errno;
      break;
    }
    if (got == 0) break;
    std::span<uint8_t> block(chunk, static_cast<size_t>(got));
    if (marking_breaks) {
      const LineMarkDecoder::Found found = marks.Decode(block);
      block = block.first(found.data);
      events |= found.events;
      errors |= found.errors;
    }
    events |= queue.Put(block);
  }
  errors |= queue.TakeErrors();
  NoteEventsLocked(events);
  CollectLineCountsLocked();
  if (failure != 0) return MeansGone(NoteFailureLocked(failure)) ? 0 : failure;
  // Bytes that came before a hang-up are in the queue now.
  if (pfd.revents & (POLLHUP | POLLERR | POLLNVAL)) NoteGoneLocked(EIO);
  return 0;
}

void SerialDevice::Impl::ReleaseDescriptor() {
  RestoreLineSettings(fd, saved);
  // The exclusive flag belongs to the terminal, not to this descriptor; a
  // pseudo-terminal keeps it after we close, so clear it for the next user.
  ::ioctl(fd, TIOCNXCL);
  ::close(fd);
  fd = -1;
}

// ---- SerialDevice ----

std::unique_ptr<SerialDevice> SerialDevice::Open(const std::string& path) {
  SavedLineSettings saved;
  const int fd = OpenSerialLine(path, &saved);
  if (fd < 0) return nullptr;
  return std::unique_ptr<SerialDevice>(new SerialDevice(std::make_unique<Impl>(fd, saved)));
}

SerialDevice::SerialDevice(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

SerialDevice::~SerialDevice() {
  if (impl_->fd >= 0) impl_->ReleaseDescriptor();  // else released by Shutdown
}

bool SerialDevice::SetState(const Dcb& dcb) {
  Impl& d = *impl_;
  std::lock_guard lock(d.mutex);
  if (d.FailedForGoodLocked()) {
    errno = d.LastingErrorLocked();
    return false;
  }
  if (!ApplyDcb(d.fd, dcb, d.marking_breaks)) return false;
  d.queue.SetEventChar(dcb.EvtChar);
  return true;
}

bool SerialDevice::SetupQueues(uint32_t read_size, uint32_t /*write_size*/) {
  if (read_size == 0) {
    errno = EINVAL;
    return false;
  }
  std::lock_guard lock(impl_->mutex);
  impl_->queue.SetCapacity(read_size);
  return true;
}

bool SerialDevice::SetTimeouts(const CommTimeouts& /*timeouts*/) {
  // Reads never wait, and writes get their own limit per call.
  return true;
}

bool SerialDevice::SetMask(uint32_t ev_mask) {
  Impl& d = *impl_;
  std::lock_guard lock(d.mutex);
  // Breaks are marked in the input only while someone wants to hear of them.
  const bool mark_breaks = ev_mask & kEvBreak;
  if (mark_breaks != d.marking_breaks && !d.FailedForGoodLocked()) {
    if (!SetBreakMarking(d.fd, mark_breaks)) return false;
    d.marking_breaks = mark_breaks;
    d.marks.Reset();
  }
  d.mask = ev_mask;
  // Events of kinds no longer monitored are dropped, as the driver does.
  d.pending_events &= d.mask | kEvDeviceGone;
  d.state_changed.Signal();
  return true;
}

bool SerialDevice::ClearError(uint32_t* errors, ComStat* stat) {
  Impl& d = *impl_;
  std::lock_guard lock(d.mutex);
  d.FillQueueLocked();
  // Bytes received before a hang-up are still delivered; the failure is
  // reported once they are gone.
  if (d.FailedForGoodLocked() && d.queue.Count() == 0) {
    errno = d.LastingErrorLocked();
    return false;
  }
  ComStat status{};
  status.cbInQue = static_cast<uint32_t>(std::min<size_t>(d.queue.Count(), UINT32_MAX));
  int out = 0;
  if (!d.FailedForGoodLocked() && ::ioctl(d.fd, TIOCOUTQ, &out) == 0 && out > 0) {
    status.cbOutQue = static_cast<uint32_t>(out);
  }
  if (errors) *errors = d.errors;
  if (stat) *stat = status;
  d.errors = 0;
  return true;
}

int SerialDevice::Read(void* buf, int count) {
  if (count < 0 || (count > 0 && buf == nullptr)) {
    errno = EINVAL;
    return -1;
  }
  Impl& d = *impl_;
  std::lock_guard lock(d.mutex);
  d.FillQueueLocked();
  if (d.FailedForGoodLocked() && d.queue.Count() == 0) {
    errno = d.LastingErrorLocked();
    return -1;
  }
  return static_cast<int>(
      d.queue.Take(std::span(static_cast<uint8_t*>(buf), static_cast<size_t>(count))));
}

int SerialDevice::Write(const void* buf, int count, ManualResetEvent* cancel, uint32_t timeout_ms) {
  if (count < 0 || (count > 0 && buf == nullptr)) {
    errno = EINVAL;
    return -1;
  }
  Impl& d = *impl_;
  const Impl::UnlockedUse use(d);
  if (!use.entered()) {
    errno = EBADF;
    return -1;
  }
  {
    std::lock_guard lock(d.mutex);
    if (d.FailedForGoodLocked()) {
      errno = d.LastingErrorLocked();
      return -1;
    }
  }
  // A stop requested before the call: nothing more goes out.
  if (cancel && cancel->IsSignaled() && count > 0) {
    errno = ECANCELED;
    return 0;
  }
  const int cancel_fd = cancel ? ManualResetEventAccess::PollFd(*cancel) : -1;
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
  const auto* bytes = static_cast<const uint8_t*>(buf);
  int written = 0;
  int failure = 0;
  while (written < count) {
    const ssize_t n = ::write(d.fd, bytes + written, static_cast<size_t>(count - written));
    if (n > 0) {
      written += static_cast<int>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno != EAGAIN) {
      failure = errno;
      break;
    }
    // The driver's buffer is full: wait for room, the cancel event or the
    // deadline.
    int wait_ms = -1;
    if (timeout_ms != kInfinite) {
      const auto left =
          std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
      if (left <= 0) {
        failure = ETIMEDOUT;
        break;
      }
      wait_ms = static_cast<int>(std::min<long long>(left, INT_MAX));
    }
    pollfd fds[3] = {{d.fd, POLLOUT, 0},
                     {cancel_fd, POLLIN, 0},
                     {ManualResetEventAccess::PollFd(d.shutdown_event), POLLIN, 0}};
    const int ready = ::poll(fds, 3, wait_ms);
    if (ready < 0) {
      if (errno == EINTR) continue;
      failure = errno;
      break;
    }
    if (fds[1].revents & POLLIN) {
      failure = ECANCELED;
      break;
    }
    if (fds[2].revents & POLLIN) {
      failure = EBADF;  // shut down
      break;
    }
    if (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) {
      failure = EIO;
      break;
    }
  }
  std::lock_guard lock(d.mutex);
  if (written > 0) {
    d.tx_pending = true;
    // A wait that watches for the transmit queue to run empty has work now.
    if (d.mask & kEvTxEmpty) d.state_changed.Signal();
  }
  if (failure == 0) return written;
  if (failure != ECANCELED && failure != ETIMEDOUT && failure != EBADF) {
    d.NoteFailureLocked(failure);
  }
  errno = failure;
  if (written == 0 && failure != ECANCELED && failure != ETIMEDOUT) return -1;
  return written;
}

bool SerialDevice::WaitCommEvent(uint32_t* occurred, ManualResetEvent& wakeup) {
  *occurred = 0;
  Impl& d = *impl_;
  const int wakeup_fd = ManualResetEventAccess::PollFd(wakeup);
  if (wakeup_fd < 0) {
    errno = wakeup.CreationError();
    return false;
  }
  const Impl::UnlockedUse use(d);
  if (!use.entered()) {
    errno = EBADF;
    return false;
  }
  for (;;) {
    bool poll_input;
    int wait_ms = -1;
    {
      std::lock_guard lock(d.mutex);
      // Reset before looking, under the lock: whatever another thread
      // changes after this point signals again and ends the poll below.
      d.state_changed.Reset();
      const int failure = d.FillQueueLocked();
      if (d.tx_pending && (d.mask & kEvTxEmpty) && !d.FailedForGoodLocked()) {
        int out = 0;
        if (::ioctl(d.fd, TIOCOUTQ, &out) != 0 || out == 0) {
          d.tx_pending = false;
          d.NoteEventsLocked(kEvTxEmpty);
        } else {
          wait_ms = kTxEmptyPollMs;
        }
      }
      if (d.pending_events) {
        *occurred = d.pending_events;
        d.pending_events = 0;
        return true;
      }
      if (d.FailedForGoodLocked()) {
        errno = d.LastingErrorLocked();
        return false;
      }
      if (failure != 0) {
        errno = failure;
        return false;
      }
      poll_input = d.mask != 0;
    }
    if (wakeup.IsSignaled()) return true;
    pollfd fds[3] = {{d.fd, static_cast<short>(poll_input ? POLLIN : 0), 0},
                     {wakeup_fd, POLLIN, 0},
                     {ManualResetEventAccess::PollFd(d.state_changed), POLLIN, 0}};
    if (::poll(fds, 3, wait_ms) < 0) {
      if (errno == EINTR) continue;
      const int err = errno;
      std::lock_guard lock(d.mutex);
      d.NoteFailureLocked(err);
      errno = err;
      return false;
    }
    if (fds[1].revents & POLLIN) {
      // Events that came in meanwhile stay pending for the next call.
      return true;
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
  Impl& d = *impl_;
  std::unique_lock lock(d.mutex);
  if (d.shut_down) return;
  d.BeginShutdown(lock);
  d.ReleaseDescriptor();
}

}  // namespace platform
