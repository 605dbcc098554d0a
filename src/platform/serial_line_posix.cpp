// The serial line over a Linux terminal: a non-blocking descriptor, read
// when poll() says something has arrived, and polled together with the
// wake-up event's descriptor (manual_reset_event_posix.h) so that a wait
// always ends when it is signalled.
#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>

#include "platform/line_marks_posix.h"
#include "platform/manual_reset_event_posix.h"
#include "platform/serial_line.h"
#include "platform/serial_line_kind_posix.h"
#include "platform/termios_mapping_posix.h"

namespace platform {
namespace {

int PollMs(uint32_t ms) {
  return ms == kInfinite ? -1 : static_cast<int>(std::min<uint32_t>(ms, INT_MAX));
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
int OpenTerminal(const std::string& path, SavedLineSettings* saved) {
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

class TerminalLine final : public SerialLine {
 public:
  TerminalLine(int fd, const SavedLineSettings& saved) : fd_(fd), saved_(saved) {
    have_line_counts_ = ReadLineCounts(fd, &line_counts_);
  }
  ~TerminalLine() override {
    if (fd_ >= 0) ::close(fd_);
  }

  int Configure(const Dcb& dcb) override { return ApplyDcb(fd_, dcb, marking_breaks_) ? 0 : errno; }

  int WatchEvents(uint32_t mask) override {
    // Breaks are marked in the input only while someone wants to hear of
    // them: a marked input must be decoded, and a 0xFF byte comes doubled.
    const bool mark_breaks = mask & kEvBreak;
    if (mark_breaks == marking_breaks_) return 0;
    if (!SetBreakMarking(fd_, mark_breaks)) return errno;
    marking_breaks_ = mark_breaks;
    marks_.Reset();
    return 0;
  }

  void AdviseQueueSizes(uint32_t, uint32_t) override {}  // the kernel sizes its own

  int TakeArrived(LineInput& input) override;

  uint32_t OutputQueued() override {
    int out = 0;
    return ::ioctl(fd_, TIOCOUTQ, &out) == 0 && out > 0 ? static_cast<uint32_t>(out) : 0;
  }

  InputWatch PrepareWait(bool want_input, LineInput&) override {
    InputWatch watch;
    watch.watch = want_input;
    return watch;
  }

  WaitEnd WaitForInput(const InputWatch& watch, ManualResetEvent& wakeup, ManualResetEvent& changed,
                       uint32_t wait_ms) override {
    // The descriptor is polled even when no input is wanted: a hang-up
    // shows all the same.
    pollfd fds[3] = {{fd_, static_cast<short>(watch.watch ? POLLIN : 0), 0},
                     {ManualResetEventAccess::PollFd(wakeup), POLLIN, 0},
                     {ManualResetEventAccess::PollFd(changed), POLLIN, 0}};
    WaitEnd end;
    if (::poll(fds, 3, PollMs(wait_ms)) < 0) {
      if (errno != EINTR) end.error = errno;
      return end;
    }
    end.woken = fds[1].revents & POLLIN;
    return end;
  }

  WriteStep WriteSome(std::span<const uint8_t> bytes, ManualResetEvent* cancel,
                      ManualResetEvent& shut_down, const Deadline& deadline) override;

  void Close(LineInput&) override {
    RestoreLineSettings(fd_, saved_);
    // The exclusive flag belongs to the terminal, not to this descriptor; a
    // pseudo-terminal keeps it after we close, so clear it for the next user.
    ::ioctl(fd_, TIOCNXCL);
    ::close(fd_);
    fd_ = -1;
  }

 private:
  void CollectLineCounts(LineInput& input);

  int fd_;
  const SavedLineSettings saved_;
  LineMarkDecoder marks_;
  bool marking_breaks_ = false;
  bool have_line_counts_ = false;
  LineCounts line_counts_{};
};

void TerminalLine::CollectLineCounts(LineInput& input) {
  if (!have_line_counts_) return;
  LineCounts now;
  if (!ReadLineCounts(fd_, &now)) return;
  const LineCounts& was = line_counts_;
  uint32_t events = 0;
  if (now.cts != was.cts) events |= kEvCts;
  if (now.dsr != was.dsr) events |= kEvDsr;
  if (now.rng != was.rng) events |= kEvRing;
  if (now.dcd != was.dcd) events |= kEvRlsd;
  uint32_t errors = 0;
  if (now.brk != was.brk) errors |= kCeBreak;
  if (now.frame != was.frame) errors |= kCeFrame;
  if (now.overrun != was.overrun) errors |= kCeOverrun;
  if (now.parity != was.parity) errors |= kCeRxParity;
  if (now.buf_overrun != was.buf_overrun) errors |= kCeRxOver;
  line_counts_ = now;
  input.NoteEvents(events);
  input.NoteLineErrors(errors);
}

int TerminalLine::TakeArrived(LineInput& input) {
  // A hang-up shows only in poll(): a non-blocking read on a hung-up
  // terminal returns 0 just like an empty one.
  pollfd pfd{fd_, POLLIN, 0};
  int ready;
  while ((ready = ::poll(&pfd, 1, 0)) < 0 && errno == EINTR) {
  }
  if (ready < 0) return errno;
  int failure = 0;
  // Everything that has arrived is taken, however full the queue: a full
  // queue makes room by dropping its oldest bytes and never stops reading.
  for (int chunks = 0; (pfd.revents & POLLIN) && chunks < kMaxReadsPerTake; ++chunks) {
    uint8_t chunk[4096];
    const ssize_t got = ::read(fd_, chunk, sizeof chunk);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0 && errno == EAGAIN) break;
    if (got < 0) {
      failure = errno;
      break;
    }
    if (got == 0) break;
    std::span<uint8_t> block(chunk, static_cast<size_t>(got));
    if (marking_breaks_) {
      const LineMarkDecoder::Found found = marks_.Decode(block);
      block = block.first(found.data);
      input.NoteLineErrors(found.errors);
    }
    input.Put(block);
  }
  CollectLineCounts(input);
  if (failure != 0) return failure;
  // Bytes that came before a hang-up have been handed over by now.
  if (pfd.revents & (POLLHUP | POLLERR | POLLNVAL)) return EIO;
  return 0;
}

WriteStep TerminalLine::WriteSome(std::span<const uint8_t> bytes, ManualResetEvent* cancel,
                                  ManualResetEvent& shut_down, const Deadline& deadline) {
  const int cancel_fd = cancel ? ManualResetEventAccess::PollFd(*cancel) : -1;
  for (;;) {
    const ssize_t n = ::write(fd_, bytes.data(), bytes.size());
    if (n >= 0) return {static_cast<int>(n), WriteStep::End::kSent, 0};
    if (errno == EINTR) continue;
    if (errno != EAGAIN) return {0, WriteStep::End::kFailed, errno};
    // The driver's buffer is full: wait for room, the cancel event, a
    // shutdown or the deadline.
    const uint32_t wait_ms = deadline.RemainingMs();
    if (wait_ms == 0) return {0, WriteStep::End::kTimedOut, 0};
    pollfd fds[3] = {{fd_, POLLOUT, 0},
                     {cancel_fd, POLLIN, 0},
                     {ManualResetEventAccess::PollFd(shut_down), POLLIN, 0}};
    if (::poll(fds, 3, PollMs(wait_ms)) < 0) {
      if (errno == EINTR) continue;
      return {0, WriteStep::End::kFailed, errno};
    }
    if (fds[1].revents & POLLIN) return {0, WriteStep::End::kCancelled, 0};
    if (fds[2].revents & POLLIN) return {0, WriteStep::End::kShutDown, 0};
    if (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) return {0, WriteStep::End::kFailed, EIO};
  }
}

}  // namespace

std::unique_ptr<SerialLine> SerialLine::Open(const std::string& path, int* error) {
  SavedLineSettings saved;
  const int fd = OpenTerminal(path, &saved);
  if (fd < 0) {
    *error = errno;
    return nullptr;
  }
  return std::make_unique<TerminalLine>(fd, saved);
}

const DeviceErrorCodes kDeviceErrors{.invalid_argument = EINVAL,
                                     .cancelled = ECANCELED,
                                     .timed_out = ETIMEDOUT,
                                     .shut_down = EBADF,
                                     .no_progress = EAGAIN};

void SetLastSystemError(int code) {
  errno = code;
}

}  // namespace platform
