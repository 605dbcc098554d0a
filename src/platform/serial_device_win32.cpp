// The serial device over the Win32 communications functions. The port is
// opened for overlapped I/O with read time-outs (0, 0, 0): a read then waits
// for its full count. Waiting for input is a read of one byte (the probe)
// kept pending on the port and waited for together with the wake-up event;
// what has arrived is read in counts that ClearCommError reports, so those
// reads end at once. Everything read goes into the portable receive queue.
//
// Every overlapped operation here ends before its buffer and record go: what
// is cancelled is waited for, and the bytes a cancelled read already holds
// are kept (they are gone from the port).
#include <windows.h>

#include <algorithm>
#include <climits>
#include <condition_variable>
#include <mutex>

#include "platform/manual_reset_event_win32.h"
#include "platform/receive_queue.h"
#include "platform/serial_device.h"
#include "platform/serial_device_state.h"
#include "platform/system_error.h"
#include "platform/unique_handle_win32.h"
#include "platform/wide_text_win32.h"

namespace platform {
namespace {

// How often a wait looks at the transmit queue while it waits for it to run
// empty: nothing signals that moment.
constexpr DWORD kTxEmptyPollMs = 10;
// Reads taken in one go, so a flood of input cannot hold the lock for long.
constexpr int kMaxChunksPerFill = 16;
constexpr DWORD kChunkSize = 4096;
// A read of bytes the driver already holds ends within a millisecond; one
// that has not ended after this long is cancelled (and waited for).
constexpr DWORD kSettleMs = 1000;
// The probe has not taken its byte although bytes are there: it is about to.
constexpr DWORD kProbeSettleMs = 100;

bool MeansGone(DWORD err) {
  return ClassifySystemError(static_cast<int>(err), ErrorOccasion::kInUse) == ErrorKind::kGone;
}

// Sets the calling thread's last error when it leaves the function, after
// every lock declared later is released (an unlock may change the last
// error).
struct LastErrorOnReturn {
  DWORD code = 0;
  ~LastErrorOnReturn() {
    if (code != 0) ::SetLastError(code);
  }
};

UniqueHandle NewEvent() {
  return UniqueHandle(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
}

// The line error flags of ClearCommError have the values of the kCe* bits.
constexpr DWORD kLineErrors = CE_RXOVER | CE_OVERRUN | CE_RXPARITY | CE_FRAME | CE_BREAK;
static_assert(CE_RXOVER == kCeRxOver && CE_OVERRUN == kCeOverrun && CE_RXPARITY == kCeRxParity &&
              CE_FRAME == kCeFrame && CE_BREAK == kCeBreak);

void ApplyToDcb(const Dcb& from, DCB* to) {
  const uint32_t f = from.Flags;
  to->BaudRate = from.BaudRate;
  to->fBinary = TRUE;  // the only mode Windows has
  to->fParity = (f & kFParity) != 0;
  to->fOutxCtsFlow = (f & kFOutxCtsFlow) != 0;
  to->fOutxDsrFlow = (f & kFOutxDsrFlow) != 0;
  to->fDtrControl = (f & kFDtrControlMask) >> 4;
  to->fDsrSensitivity = (f & kFDsrSensitivity) != 0;
  to->fTXContinueOnXoff = (f & kFTXContinueOnXoff) != 0;
  to->fOutX = (f & kFOutX) != 0;
  to->fInX = (f & kFInX) != 0;
  to->fErrorChar = (f & kFErrorChar) != 0;
  to->fNull = (f & kFNull) != 0;
  to->fRtsControl = (f & kFRtsControlMask) >> 12;
  // A line error would end every read until it is cleared, the probe too;
  // errors are collected with each read and reported as events instead.
  to->fAbortOnError = FALSE;
  to->XonLim = from.XonLim;
  to->XoffLim = from.XoffLim;
  to->ByteSize = from.ByteSize;
  to->Parity = from.Parity;
  to->StopBits = from.StopBits;
  to->XonChar = from.XonChar;
  to->XoffChar = from.XoffChar;
  to->ErrorChar = from.ErrorChar;
  to->EofChar = from.EofChar;
  to->EvtChar = from.EvtChar;
}

}  // namespace

struct SerialDevice::Impl : SerialDeviceState<DWORD> {
  // Each ...Locked runs with `mutex` held.

  // Moves what has arrived into the queue, noting events, line errors and a
  // vanished device. Returns 0, or the error of a transient failure.
  DWORD FillQueueLocked();
  // Keeps the probe pending while the mask asks for events. Returns 0, or the
  // error of a failure; *arrived when it ended at once with a byte.
  DWORD ArmProbeLocked(bool* arrived);
  // Takes the probe's result once it has ended (`wait`: waits for it).
  void HarvestProbeLocked(bool wait);
  // Ends the probe, by cancelling it if it does not end by itself soon.
  void SettleProbeLocked(DWORD wait_ms);
  DWORD ReadChunkLocked(DWORD count);
  void PutLocked(const uint8_t* bytes, DWORD count);
  void NoteLineErrorsLocked(DWORD line_errors);
  void CollectModemStatusLocked();
  DWORD NoteFailureLocked(DWORD err) {
    return SerialDeviceState::NoteFailureLocked(err, MeansGone(err));
  }
  DWORD LastingErrorLocked() const { return shut_down ? ERROR_INVALID_HANDLE : gone_error; }
  void ReleasePort();

  UniqueHandle port;  // none after Shutdown
  DCB saved_dcb{};
  COMMTIMEOUTS saved_timeouts{};
  DWORD out_queue = 0;  // bytes waiting to be sent, as last seen
  bool have_modem_status = false;
  DWORD modem_status = 0;

  // The pending one-byte read that a wait waits for; its record and byte
  // live as long as the device, or longer if it never ends (see ReleasePort).
  struct Probe {
    OVERLAPPED overlapped{};
    UniqueHandle done = NewEvent();
    uint8_t byte = 0;
    bool pending = false;
  };
  std::unique_ptr<Probe> probe = std::make_unique<Probe>();
  UniqueHandle chunk_done = NewEvent();
};

void SerialDevice::Impl::PutLocked(const uint8_t* bytes, DWORD count) {
  if (count == 0) return;
  NoteEventsLocked(queue.Put(std::span(bytes, count)));
  errors |= queue.TakeErrors();
}

void SerialDevice::Impl::NoteLineErrorsLocked(DWORD line_errors) {
  line_errors &= kLineErrors;
  errors |= line_errors;
  uint32_t events = 0;
  if (line_errors & CE_BREAK) events |= kEvBreak;
  if (line_errors & (CE_FRAME | CE_OVERRUN | CE_RXPARITY)) events |= kEvErr;
  NoteEventsLocked(events);
}

void SerialDevice::Impl::CollectModemStatusLocked() {
  if (!have_modem_status) return;
  DWORD now = 0;
  // Some drivers (Wine's on a pseudo-terminal) have no modem lines: their
  // changes are then never reported, and nothing else suffers.
  if (!::GetCommModemStatus(port.Get(), &now)) {
    have_modem_status = false;
    return;
  }
  const DWORD changed = now ^ modem_status;
  modem_status = now;
  uint32_t events = 0;
  if (changed & MS_CTS_ON) events |= kEvCts;
  if (changed & MS_DSR_ON) events |= kEvDsr;
  if (changed & MS_RING_ON) events |= kEvRing;
  if (changed & MS_RLSD_ON) events |= kEvRlsd;
  NoteEventsLocked(events);
}

void SerialDevice::Impl::HarvestProbeLocked(bool wait) {
  if (!probe->pending) return;
  DWORD got = 0;
  const bool ok = ::GetOverlappedResult(port.Get(), &probe->overlapped, &got, wait ? TRUE : FALSE);
  const DWORD err = ok ? 0 : ::GetLastError();
  if (err == ERROR_IO_INCOMPLETE) return;
  probe->pending = false;
  // A cancelled read may hold its byte all the same.
  PutLocked(&probe->byte, std::min<DWORD>(got, 1));
  if (err != 0 && err != ERROR_OPERATION_ABORTED) NoteFailureLocked(err);
}

void SerialDevice::Impl::SettleProbeLocked(DWORD wait_ms) {
  if (!probe->pending) return;
  if (::WaitForSingleObject(probe->done.Get(), wait_ms) != WAIT_OBJECT_0) {
    ::CancelIoEx(port.Get(), &probe->overlapped);
  }
  HarvestProbeLocked(true);
}

DWORD SerialDevice::Impl::ArmProbeLocked(bool* arrived) {
  *arrived = false;
  if (probe->pending || FailedForGoodLocked()) return 0;
  probe->overlapped = OVERLAPPED{};
  probe->overlapped.hEvent = probe->done.Get();
  probe->pending = true;
  if (::ReadFile(port.Get(), &probe->byte, 1, nullptr, &probe->overlapped)) {
    HarvestProbeLocked(true);
    *arrived = true;
    return 0;
  }
  const DWORD err = ::GetLastError();
  if (err == ERROR_IO_PENDING) return 0;
  probe->pending = false;
  NoteFailureLocked(err);
  return MeansGone(err) ? 0 : err;
}

DWORD SerialDevice::Impl::ReadChunkLocked(DWORD count) {
  uint8_t chunk[kChunkSize];
  OVERLAPPED overlapped{};
  overlapped.hEvent = chunk_done.Get();
  DWORD got = 0;
  DWORD err = 0;
  if (!::ReadFile(port.Get(), chunk, std::min(count, kChunkSize), nullptr, &overlapped)) {
    err = ::GetLastError();
    if (err == ERROR_IO_PENDING) {
      err = 0;
      if (::WaitForSingleObject(overlapped.hEvent, kSettleMs) != WAIT_OBJECT_0) {
        ::CancelIoEx(port.Get(), &overlapped);
      }
    }
  }
  if (err == 0 && !::GetOverlappedResult(port.Get(), &overlapped, &got, TRUE)) {
    err = ::GetLastError();
  }
  PutLocked(chunk, got);
  if (err == ERROR_OPERATION_ABORTED) return 0;
  return err;
}

DWORD SerialDevice::Impl::FillQueueLocked() {
  if (FailedForGoodLocked()) return 0;
  HarvestProbeLocked(false);
  for (int chunks = 0; chunks < kMaxChunksPerFill && !FailedForGoodLocked(); ++chunks) {
    DWORD line_errors = 0;
    COMSTAT status{};
    if (!::ClearCommError(port.Get(), &line_errors, &status)) {
      const DWORD err = NoteFailureLocked(::GetLastError());
      return MeansGone(err) ? 0 : err;
    }
    NoteLineErrorsLocked(line_errors);
    out_queue = status.cbOutQue;
    if (status.cbInQue == 0) break;
    if (probe->pending) {
      // Bytes are there, yet the probe has not taken the first of them; a
      // read issued now would queue behind it and wait for one byte more.
      SettleProbeLocked(kProbeSettleMs);
      continue;
    }
    if (const DWORD err = ReadChunkLocked(status.cbInQue); err != 0) {
      NoteFailureLocked(err);
      return MeansGone(err) ? 0 : err;
    }
  }
  CollectModemStatusLocked();
  return 0;
}

void SerialDevice::Impl::ReleasePort() {
  if (!port) return;
  if (probe->pending) {
    ::CancelIoEx(port.Get(), &probe->overlapped);
    if (::WaitForSingleObject(probe->done.Get(), kSettleMs) == WAIT_OBJECT_0) {
      HarvestProbeLocked(true);
    } else {
      // Closing the port ends a read that cancelling did not. Should even
      // that not end it, its record and byte are left to it for good rather
      // than freed under it.
      port.Reset();
      if (::WaitForSingleObject(probe->done.Get(), kSettleMs) != WAIT_OBJECT_0) {
        static_cast<void>(probe.release());
      }
      return;
    }
  }
  ::SetCommState(port.Get(), &saved_dcb);
  ::SetCommTimeouts(port.Get(), &saved_timeouts);
  port.Reset();
}

// ---- SerialDevice ----

std::unique_ptr<SerialDevice> SerialDevice::Open(const std::string& path) {
  // Declared first, so it sets the error after the failed device's handles
  // are closed.
  LastErrorOnReturn result;
  auto impl = std::make_unique<Impl>();
  if (!impl->probe->done || !impl->chunk_done) {
    result.code = ::GetLastError();
    return nullptr;
  }
  // No sharing: the port is ours alone while it is open.
  impl->port.Reset(::CreateFileW(WideFromUtf8(path).c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                                 nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr));
  if (!impl->port) {
    result.code = ::GetLastError();
    return nullptr;
  }
  const HANDLE port = impl->port.Get();
  // What is no serial line fails here, before anything is changed.
  impl->saved_dcb.DCBlength = sizeof(DCB);
  if (!::GetCommState(port, &impl->saved_dcb) || !::GetCommTimeouts(port, &impl->saved_timeouts)) {
    result.code = ::GetLastError();
    return nullptr;
  }
  // Reads wait for their full count; writes get their own limit per call.
  COMMTIMEOUTS timeouts{};
  // Bytes that waited in the line before (a late answer to an earlier
  // connection) must not pass for an answer to what this one sends.
  if (!::SetCommTimeouts(port, &timeouts) || !::PurgeComm(port, PURGE_RXCLEAR | PURGE_TXCLEAR)) {
    result.code = ::GetLastError();
    ::SetCommState(port, &impl->saved_dcb);
    ::SetCommTimeouts(port, &impl->saved_timeouts);
    return nullptr;
  }
  impl->have_modem_status = ::GetCommModemStatus(port, &impl->modem_status) != FALSE;
  return std::unique_ptr<SerialDevice>(new SerialDevice(std::move(impl)));
}

SerialDevice::SerialDevice(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

SerialDevice::~SerialDevice() {
  std::lock_guard lock(impl_->mutex);
  impl_->ReleasePort();  // nothing left to do after Shutdown
}

bool SerialDevice::SetState(const Dcb& dcb) {
  Impl& d = *impl_;
  LastErrorOnReturn result;
  std::lock_guard lock(d.mutex);
  if (d.FailedForGoodLocked()) {
    result.code = d.LastingErrorLocked();
    return false;
  }
  DCB state{};
  state.DCBlength = sizeof(DCB);
  if (!::GetCommState(d.port.Get(), &state)) {
    result.code = ::GetLastError();
    return false;
  }
  ApplyToDcb(dcb, &state);
  if (!::SetCommState(d.port.Get(), &state)) {
    result.code = ::GetLastError();
    return false;
  }
  d.queue.SetEventChar(dcb.EvtChar);
  return true;
}

bool SerialDevice::SetupQueues(uint32_t read_size, uint32_t write_size) {
  LastErrorOnReturn result;
  if (read_size == 0) {
    result.code = ERROR_INVALID_PARAMETER;
    return false;
  }
  std::lock_guard lock(impl_->mutex);
  impl_->queue.SetCapacity(read_size);
  // Advice to the driver only: the queue that counts is ours.
  if (impl_->port && !impl_->shut_down) ::SetupComm(impl_->port.Get(), read_size, write_size);
  return true;
}

bool SerialDevice::SetTimeouts(const CommTimeouts& /*timeouts*/) {
  // Reads never wait, and writes get their own limit per call.
  return true;
}

bool SerialDevice::SetMask(uint32_t ev_mask) {
  Impl& d = *impl_;
  std::lock_guard lock(d.mutex);
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
  if (!d.FailedForGoodLocked()) status.cbOutQue = d.out_queue;
  if (errors) *errors = d.errors;
  if (stat) *stat = status;
  d.errors = 0;
  return true;
}

int SerialDevice::Read(void* buf, int count) {
  LastErrorOnReturn result;
  if (count < 0 || (count > 0 && buf == nullptr)) {
    result.code = ERROR_INVALID_PARAMETER;
    return -1;
  }
  Impl& d = *impl_;
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
  LastErrorOnReturn result;
  if (count < 0 || (count > 0 && buf == nullptr)) {
    result.code = ERROR_INVALID_PARAMETER;
    return -1;
  }
  Impl& d = *impl_;
  const Impl::UnlockedUse use(d);
  if (!use.entered()) {
    result.code = ERROR_INVALID_HANDLE;
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
    result.code = ERROR_OPERATION_ABORTED;
    return 0;
  }
  const UniqueHandle done = NewEvent();
  if (!done) {
    result.code = ::GetLastError();
    return -1;
  }
  const HANDLE cancel_handle = cancel ? ManualResetEventAccess::Handle(*cancel) : nullptr;
  const ULONGLONG deadline = ::GetTickCount64() + timeout_ms;
  const auto* bytes = static_cast<const uint8_t*>(buf);
  int written = 0;
  DWORD failure = 0;
  while (written < count && failure == 0) {
    OVERLAPPED overlapped{};
    overlapped.hEvent = done.Get();
    if (!::WriteFile(d.port.Get(), bytes + written, static_cast<DWORD>(count - written), nullptr,
                     &overlapped)) {
      const DWORD err = ::GetLastError();
      if (err != ERROR_IO_PENDING) {
        failure = err;
        break;
      }
      DWORD wait_ms = INFINITE;
      if (timeout_ms != kInfinite) {
        const ULONGLONG now = ::GetTickCount64();
        wait_ms = now >= deadline
                      ? 0
                      : static_cast<DWORD>(std::min<ULONGLONG>(deadline - now, INFINITE - 1));
      }
      HANDLE objects[3] = {done.Get(), ManualResetEventAccess::Handle(d.shutdown_event),
                           cancel_handle};
      const int which =
          WaitForAnyHandle(std::span<const HANDLE>(objects, cancel_handle ? 3 : 2), wait_ms);
      if (which != 0) {
        failure = which == 1   ? ERROR_INVALID_HANDLE  // shut down
                  : which == 2 ? ERROR_OPERATION_ABORTED
                               : ::GetLastError();  // ERROR_TIMEOUT, or the wait failed
        ::CancelIoEx(d.port.Get(), &overlapped);
      }
    }
    DWORD sent = 0;
    if (!::GetOverlappedResult(d.port.Get(), &overlapped, &sent, TRUE) && failure == 0) {
      failure = ::GetLastError();
    }
    written += static_cast<int>(sent);
    // Writes have no time-out of the driver's; one that sends nothing
    // without failing would otherwise be repeated for ever.
    if (sent == 0 && failure == 0 && written < count) failure = ERROR_WRITE_FAULT;
  }
  // A write that the cancel ended all the same is complete.
  if (written == count && failure == ERROR_OPERATION_ABORTED) failure = 0;
  std::lock_guard lock(d.mutex);
  if (written > 0) {
    d.tx_pending = true;
    if (d.mask & kEvTxEmpty) d.state_changed.Signal();
  }
  if (failure == 0) return written;
  if (failure != ERROR_OPERATION_ABORTED && failure != ERROR_TIMEOUT &&
      failure != ERROR_INVALID_HANDLE) {
    d.NoteFailureLocked(failure);
  }
  result.code = failure;
  if (written == 0 && failure != ERROR_OPERATION_ABORTED && failure != ERROR_TIMEOUT) return -1;
  return written;
}

bool SerialDevice::WaitCommEvent(uint32_t* occurred, ManualResetEvent& wakeup) {
  *occurred = 0;
  LastErrorOnReturn result;
  Impl& d = *impl_;
  const HANDLE wakeup_handle = ManualResetEventAccess::Handle(wakeup);
  if (wakeup_handle == nullptr) {
    result.code = static_cast<DWORD>(wakeup.CreationError());
    return false;
  }
  const Impl::UnlockedUse use(d);
  if (!use.entered()) {
    result.code = ERROR_INVALID_HANDLE;
    return false;
  }
  for (;;) {
    DWORD wait_ms = INFINITE;
    bool probing = false;
    {
      std::lock_guard lock(d.mutex);
      // Reset before looking, under the lock: whatever another thread
      // changes after this point signals again and ends the wait below.
      d.state_changed.Reset();
      DWORD failure = d.FillQueueLocked();
      if (d.tx_pending && (d.mask & kEvTxEmpty) && !d.FailedForGoodLocked()) {
        if (d.out_queue == 0) {
          d.tx_pending = false;
          d.NoteEventsLocked(kEvTxEmpty);
        } else {
          wait_ms = kTxEmptyPollMs;
        }
      }
      if (failure == 0 && d.mask != 0 && !d.pending_events) {
        bool arrived = false;
        failure = d.ArmProbeLocked(&arrived);
        if (arrived) continue;
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
      probing = d.probe->pending;
    }
    if (wakeup.IsSignaled()) return true;
    // The wake-up first: a stop request is seen even while data keeps coming.
    const HANDLE objects[3] = {wakeup_handle, ManualResetEventAccess::Handle(d.state_changed),
                               d.probe->done.Get()};
    const int which = WaitForAnyHandle(std::span<const HANDLE>(objects, probing ? 3 : 2), wait_ms);
    if (which == 0) return true;  // events that came meanwhile stay pending
    if (which < 0 && ::GetLastError() != ERROR_TIMEOUT) {
      const DWORD err = ::GetLastError();
      std::lock_guard lock(d.mutex);
      d.NoteFailureLocked(err);
      result.code = err;
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
  if (error) *error = static_cast<int>(impl_->gone_error);
  return impl_->gone_error != 0;
}

void SerialDevice::Shutdown() {
  Impl& d = *impl_;
  std::unique_lock lock(d.mutex);
  if (d.shut_down) return;
  d.BeginShutdown(lock);
  d.ReleasePort();
}

}  // namespace platform
