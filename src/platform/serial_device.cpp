#include "platform/serial_device.h"

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

#include "platform/termios_mapping.h"

namespace platform {
namespace {

constexpr uint32_t kLineErrorEvents = kEvErr;
// How often a wait looks at the transmit queue while it waits for it to run
// empty: poll() cannot report that moment.
constexpr int kTxEmptyPollMs = 10;

// Lasting failures: the device is gone or unusable, retrying cannot help.
bool IsLasting(int err) {
  return err == EIO || err == ENXIO || err == ENODEV || err == EBADF;
}

// Puts the terminal into raw, non-blocking-read mode while keeping its line
// settings: the component reads bytes, never lines, even when it leaves the
// line settings alone.
void MakeRaw(int fd) {
  termios tio{};
  if (::tcgetattr(fd, &tio) != 0) return;
  tio.c_iflag &= ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IUCLC | IMAXBEL);
  tio.c_oflag &= ~OPOST;
  tio.c_lflag &= ~(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
  tio.c_cflag |= CREAD;
  tio.c_cc[VMIN] = 0;
  tio.c_cc[VTIME] = 0;
  ::tcsetattr(fd, TCSANOW, &tio);
}

bool ReadLineCounts(int fd, LineCounts* counts) {
  serial_icounter_struct icount{};
  if (::ioctl(fd, TIOCGICOUNT, &icount) != 0) return false;
  *counts = {icount.cts,     icount.dsr,    icount.rng, icount.dcd,        icount.frame,
             icount.overrun, icount.parity, icount.brk, icount.buf_overrun};
  return true;
}

}  // namespace

std::unique_ptr<SerialDevice> SerialDevice::Open(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return nullptr;
  // The advisory lock is what keeps out other openers of this and other
  // processes (TIOCEXCL does not stop a privileged one); take it before
  // touching the device.
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const int err = errno == EWOULDBLOCK ? EBUSY : errno;
    ::close(fd);
    errno = err;
    return nullptr;
  }
  if (!::isatty(fd)) {
    ::close(fd);
    errno = ENOTTY;
    return nullptr;
  }
  ::ioctl(fd, TIOCEXCL);
  MakeRaw(fd);
  return std::unique_ptr<SerialDevice>(new SerialDevice(fd));
}

SerialDevice::SerialDevice(int fd) : fd_(fd) {
  have_line_counts_ = ReadLineCounts(fd_, &line_counts_);
}

SerialDevice::~SerialDevice() {
  if (fd_ < 0) return;  // released by Shutdown
  // The exclusive flag belongs to the terminal, not to this descriptor; a
  // pseudo-terminal keeps it after we close, so clear it for the next user.
  ::ioctl(fd_, TIOCNXCL);
  ::close(fd_);
}

bool SerialDevice::SetState(const Dcb& dcb) {
  std::lock_guard lock(mutex_);
  if (lasting_error_) {
    errno = lasting_error_;
    return false;
  }
  if (!ApplyDcb(fd_, dcb)) return false;
  dcb_ = dcb;
  return true;
}

bool SerialDevice::GetState(Dcb* dcb) const {
  std::lock_guard lock(mutex_);
  *dcb = dcb_;
  return true;
}

bool SerialDevice::SetupQueues(uint32_t read_size, uint32_t /*write_size*/) {
  if (read_size == 0) {
    errno = EINVAL;
    return false;
  }
  std::lock_guard lock(mutex_);
  // Bytes already queued are kept even when the new size is smaller.
  const bool was_full = queue_.size() >= queue_capacity_;
  queue_capacity_ = read_size;
  if (was_full && queue_.size() < queue_capacity_) state_changed_.Signal();
  return true;
}

bool SerialDevice::SetTimeouts(const CommTimeouts& timeouts) {
  std::lock_guard lock(mutex_);
  timeouts_ = timeouts;
  return true;
}

bool SerialDevice::GetTimeouts(CommTimeouts* timeouts) const {
  std::lock_guard lock(mutex_);
  *timeouts = timeouts_;
  return true;
}

bool SerialDevice::SetMask(uint32_t ev_mask) {
  std::lock_guard lock(mutex_);
  mask_ = ev_mask;
  // Events of kinds no longer monitored are dropped, as the driver does.
  pending_events_ &= mask_;
  state_changed_.Signal();
  return true;
}

uint32_t SerialDevice::Mask() const {
  std::lock_guard lock(mutex_);
  return mask_;
}

void SerialDevice::NoteEventsLocked(uint32_t events) {
  const uint32_t monitored = events & mask_;
  if (monitored & ~pending_events_) state_changed_.Signal();
  pending_events_ |= monitored;
}

void SerialDevice::MarkLastingErrorLocked(int err) {
  if (!lasting_error_) lasting_error_ = err;
  state_changed_.Signal();
}

void SerialDevice::CollectLineCountsLocked() {
  if (!have_line_counts_) return;
  LineCounts now;
  if (!ReadLineCounts(fd_, &now)) return;
  const LineCounts& was = line_counts_;
  uint32_t events = 0;
  if (now.cts != was.cts) events |= kEvCts;
  if (now.dsr != was.dsr) events |= kEvDsr;
  if (now.rng != was.rng) events |= kEvRing;
  if (now.dcd != was.dcd) events |= kEvRlsd;
  if (now.brk != was.brk) {
    events |= kEvBreak;
    errors_ |= kCeBreak;
  }
  if (now.frame != was.frame) errors_ |= kCeFrame;
  if (now.overrun != was.overrun) errors_ |= kCeOverrun;
  if (now.parity != was.parity) errors_ |= kCeRxParity;
  if (now.frame != was.frame || now.overrun != was.overrun || now.parity != was.parity) {
    events |= kLineErrorEvents;
  }
  if (now.buf_overrun != was.buf_overrun) errors_ |= kCeRxOver;
  line_counts_ = now;
  NoteEventsLocked(events);
}

bool SerialDevice::FillQueueLocked() {
  if (lasting_error_) return false;
  // A hang-up shows only in poll(): a non-blocking read on a hung-up
  // terminal returns 0 just like an empty one.
  pollfd pfd{fd_, POLLIN, 0};
  int ready;
  while ((ready = ::poll(&pfd, 1, 0)) < 0 && errno == EINTR) {
  }
  if (ready < 0) {
    MarkLastingErrorLocked(errno);
    return false;
  }
  if (pfd.revents & (POLLHUP | POLLERR | POLLNVAL)) {
    MarkLastingErrorLocked(EIO);
    return false;
  }
  uint32_t events = 0;
  uint8_t chunk[4096];
  while (pfd.revents & POLLIN) {
    // Bytes beyond the queue's room stay in the driver: nothing is dropped,
    // they come in once the queue has been read.
    const size_t room = queue_capacity_ > queue_.size() ? queue_capacity_ - queue_.size() : 0;
    if (room == 0) break;
    const ssize_t got = ::read(fd_, chunk, std::min(room, sizeof chunk));
    if (got < 0) {
      if (errno == EINTR) continue;
      if (errno == EAGAIN) break;
      MarkLastingErrorLocked(errno);
      return false;
    }
    if (got == 0) break;
    events |= kEvRxChar;
    if (std::find(chunk, chunk + got, static_cast<uint8_t>(dcb_.EvtChar)) != chunk + got) {
      events |= kEvRxFlag;
    }
    queue_.insert(queue_.end(), chunk, chunk + got);
  }
  const bool above_80 = queue_.size() * 5 > queue_capacity_ * 4;
  if (above_80 && !above_80_percent_) events |= kEvRx80Full;
  above_80_percent_ = above_80;
  NoteEventsLocked(events);
  CollectLineCountsLocked();
  return true;
}

bool SerialDevice::ClearError(uint32_t* errors, ComStat* stat) {
  std::lock_guard lock(mutex_);
  FillQueueLocked();
  // Bytes received before a hang-up are still delivered; the failure is
  // reported once they are gone.
  if (lasting_error_ && queue_.empty()) {
    errno = lasting_error_;
    return false;
  }
  ComStat status{};
  status.cbInQue = static_cast<uint32_t>(queue_.size());
  int out = 0;
  if (!lasting_error_ && ::ioctl(fd_, TIOCOUTQ, &out) == 0 && out > 0) {
    status.cbOutQue = static_cast<uint32_t>(out);
  }
  if (errors) *errors = errors_;
  if (stat) *stat = status;
  errors_ = 0;
  return true;
}

int SerialDevice::Read(void* buf, int count) {
  if (count < 0 || (count > 0 && buf == nullptr)) {
    errno = EINVAL;
    return -1;
  }
  std::lock_guard lock(mutex_);
  FillQueueLocked();
  if (lasting_error_ && queue_.empty()) {
    errno = lasting_error_;
    return -1;
  }
  const bool was_full = queue_.size() >= queue_capacity_;
  const size_t n = std::min(static_cast<size_t>(count), queue_.size());
  std::copy_n(queue_.begin(), n, static_cast<uint8_t*>(buf));
  queue_.erase(queue_.begin(), queue_.begin() + static_cast<std::ptrdiff_t>(n));
  if (queue_.size() * 5 <= queue_capacity_ * 4) above_80_percent_ = false;
  // A wait that stopped reading because the queue was full can read again.
  if (was_full && n > 0) state_changed_.Signal();
  return static_cast<int>(n);
}

int SerialDevice::Write(const void* buf, int count, ManualResetEvent* cancel, uint32_t timeout_ms) {
  if (count < 0 || (count > 0 && buf == nullptr)) {
    errno = EINVAL;
    return -1;
  }
  const UnlockedUse use(*this);
  if (!use.entered()) {
    errno = EBADF;
    return -1;
  }
  {
    std::lock_guard lock(mutex_);
    if (lasting_error_) {
      errno = lasting_error_;
      return -1;
    }
  }
  // A stop requested before the call: nothing more goes out.
  if (cancel && cancel->IsSignaled() && count > 0) {
    errno = ECANCELED;
    return 0;
  }
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
  const auto* bytes = static_cast<const uint8_t*>(buf);
  int written = 0;
  int failure = 0;
  while (written < count) {
    const ssize_t n = ::write(fd_, bytes + written, static_cast<size_t>(count - written));
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
    pollfd fds[3] = {{fd_, POLLOUT, 0},
                     {cancel ? cancel->PollFd() : -1, POLLIN, 0},
                     {shutdown_event_.PollFd(), POLLIN, 0}};
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
  std::lock_guard lock(mutex_);
  if (written > 0) {
    tx_pending_ = true;
    // A wait that watches for the transmit queue to run empty has work now.
    if (mask_ & kEvTxEmpty) state_changed_.Signal();
  }
  if (failure != 0) {
    if (IsLasting(failure)) MarkLastingErrorLocked(failure);
    errno = failure;
    if (written == 0 && failure != ECANCELED && failure != ETIMEDOUT) return -1;
  }
  return written;
}

bool SerialDevice::WaitCommEvent(uint32_t* occurred, ManualResetEvent& wakeup) {
  *occurred = 0;
  if (wakeup.PollFd() < 0) {
    errno = wakeup.CreationError();
    return false;
  }
  const UnlockedUse use(*this);
  if (!use.entered()) {
    errno = EBADF;
    return false;
  }
  for (;;) {
    bool poll_input;
    int wait_ms = -1;
    {
      std::lock_guard lock(mutex_);
      // Reset before looking, under the lock: whatever another thread
      // changes after this point signals again and ends the poll below.
      state_changed_.Reset();
      FillQueueLocked();
      if (tx_pending_ && (mask_ & kEvTxEmpty) && !lasting_error_) {
        int out = 0;
        if (::ioctl(fd_, TIOCOUTQ, &out) != 0 || out == 0) {
          tx_pending_ = false;
          NoteEventsLocked(kEvTxEmpty);
        } else {
          wait_ms = kTxEmptyPollMs;
        }
      }
      if (pending_events_) {
        *occurred = pending_events_;
        pending_events_ = 0;
        return true;
      }
      if (lasting_error_) {
        errno = lasting_error_;
        return false;
      }
      // With a full queue the descriptor stays readable; polling for input
      // then would spin, so wait for a read to make room instead.
      poll_input = queue_.size() < queue_capacity_ && (mask_ != 0);
    }
    if (wakeup.IsSignaled()) return true;
    pollfd fds[3] = {{fd_, static_cast<short>(poll_input ? POLLIN : 0), 0},
                     {wakeup.PollFd(), POLLIN, 0},
                     {state_changed_.PollFd(), POLLIN, 0}};
    if (::poll(fds, 3, wait_ms) < 0 && errno != EINTR) {
      std::lock_guard lock(mutex_);
      MarkLastingErrorLocked(errno);
    }
    if (fds[1].revents & POLLIN) {
      // Events that came in meanwhile stay pending for the next call.
      return true;
    }
  }
}

bool SerialDevice::Purge(bool rx, bool tx) {
  std::lock_guard lock(mutex_);
  if (shut_down_) {
    errno = EBADF;
    return false;
  }
  const bool was_full = queue_.size() >= queue_capacity_;
  if (rx) {
    queue_.clear();
    above_80_percent_ = false;
    if (was_full) state_changed_.Signal();
  }
  const int which = rx && tx ? TCIOFLUSH : rx ? TCIFLUSH : TCOFLUSH;
  if ((rx || tx) && ::tcflush(fd_, which) != 0) return false;
  return true;
}

bool SerialDevice::HungUp() const {
  std::lock_guard lock(mutex_);
  return lasting_error_ != 0;
}

}  // namespace platform
