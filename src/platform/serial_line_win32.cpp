// The serial line over the Win32 communications functions. The port is
// opened for overlapped I/O with read time-outs (0, 0, 0): a read then waits
// for its full count. Waiting for input is a read of one byte (the probe)
// kept pending on the port and waited for together with the wake-up event
// (WaitForAnyHandle, manual_reset_event_win32.h): it ends as soon as a byte
// arrives, on Windows and under Wine. WaitCommEvent cannot be that wait:
// under Wine it ends at once on a pseudo-terminal. What has arrived is read
// in counts that ClearCommError reports, so those reads end at once.
//
// Every overlapped operation here ends before its buffer and record go: what
// is cancelled is waited for, and the bytes a cancelled read already holds
// are kept (they are gone from the port).
#include <windows.h>

#include <algorithm>

#include "platform/manual_reset_event_win32.h"
#include "platform/serial_line.h"
#include "platform/unique_handle_win32.h"
#include "platform/wide_text_win32.h"

namespace platform {
namespace {

constexpr DWORD kChunkSize = 4096;
// A read of bytes the driver already holds ends within a millisecond; one
// that has not ended after this long is cancelled (and waited for).
constexpr DWORD kSettleMs = 1000;
// The probe has not taken its byte although bytes are there: it is about to.
constexpr DWORD kProbeSettleMs = 100;

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

int LastErrorCode() {
  return static_cast<int>(::GetLastError());
}

class CommPortLine final : public SerialLine {
 public:
  static std::unique_ptr<CommPortLine> Open(const std::string& path, int* error);

  int Configure(const Dcb& dcb) override {
    DCB state{};
    state.DCBlength = sizeof(DCB);
    if (!::GetCommState(port_.Get(), &state)) return LastErrorCode();
    ApplyToDcb(dcb, &state);
    return ::SetCommState(port_.Get(), &state) ? 0 : LastErrorCode();
  }
  int WatchEvents(uint32_t) override { return 0; }
  void AdviseQueueSizes(uint32_t read_size, uint32_t write_size) override {
    // Advice to the driver only: the queue that counts is the device's.
    ::SetupComm(port_.Get(), read_size, write_size);
  }
  int TakeArrived(LineInput& input) override;
  uint32_t OutputQueued() override { return out_queue_; }  // as ClearCommError last saw it
  InputWatch PrepareWait(bool want_input, LineInput& input) override;
  WaitEnd WaitForInput(const InputWatch& watch, ManualResetEvent& wakeup, ManualResetEvent& changed,
                       uint32_t wait_ms) override;
  WriteStep WriteSome(std::span<const uint8_t> bytes, ManualResetEvent* cancel,
                      ManualResetEvent& shut_down, const Deadline& deadline) override;
  void Close(LineInput& input) override;

 private:
  // Takes the probe's result once it has ended (`wait`: waits for it).
  void HarvestProbe(LineInput& input, bool wait);
  // Ends the probe, by cancelling it if it does not end by itself soon.
  void SettleProbe(LineInput& input, DWORD wait_ms);
  int ReadChunk(LineInput& input, DWORD count);
  void CollectModemStatus(LineInput& input);

  UniqueHandle port_;  // none after Close
  DCB saved_dcb_{};
  COMMTIMEOUTS saved_timeouts_{};
  DWORD out_queue_ = 0;
  bool have_modem_status_ = false;
  DWORD modem_status_ = 0;

  // The pending one-byte read that a wait waits for; its record and byte
  // live as long as the line, or longer if it never ends (see Close).
  struct Probe {
    OVERLAPPED overlapped{};
    UniqueHandle done = NewEvent();
    uint8_t byte = 0;
    bool pending = false;
  };
  std::unique_ptr<Probe> probe_ = std::make_unique<Probe>();
  UniqueHandle chunk_done_ = NewEvent();
};

std::unique_ptr<CommPortLine> CommPortLine::Open(const std::string& path, int* error) {
  auto line = std::make_unique<CommPortLine>();
  if (!line->probe_->done || !line->chunk_done_) {
    *error = LastErrorCode();
    return nullptr;
  }
  // No sharing: the port is ours alone while it is open.
  line->port_.Reset(::CreateFileW(WideFromUtf8(path).c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                                  nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr));
  if (!line->port_) {
    *error = LastErrorCode();
    return nullptr;
  }
  const HANDLE port = line->port_.Get();
  // What is no serial line fails here, before anything is changed.
  line->saved_dcb_.DCBlength = sizeof(DCB);
  if (!::GetCommState(port, &line->saved_dcb_) ||
      !::GetCommTimeouts(port, &line->saved_timeouts_)) {
    *error = LastErrorCode();
    return nullptr;
  }
  // Reads wait for their full count; writes get their own limit per call.
  COMMTIMEOUTS timeouts{};
  // Bytes that waited in the line before (a late answer to an earlier
  // connection) must not pass for an answer to what this one sends.
  if (!::SetCommTimeouts(port, &timeouts) || !::PurgeComm(port, PURGE_RXCLEAR | PURGE_TXCLEAR)) {
    *error = LastErrorCode();
    ::SetCommState(port, &line->saved_dcb_);
    ::SetCommTimeouts(port, &line->saved_timeouts_);
    return nullptr;
  }
  line->have_modem_status_ = ::GetCommModemStatus(port, &line->modem_status_) != FALSE;
  return line;
}

void CommPortLine::CollectModemStatus(LineInput& input) {
  if (!have_modem_status_) return;
  DWORD now = 0;
  // Some drivers (Wine's on a pseudo-terminal) have no modem lines: their
  // changes are then never reported, and nothing else suffers.
  if (!::GetCommModemStatus(port_.Get(), &now)) {
    have_modem_status_ = false;
    return;
  }
  const DWORD changed = now ^ modem_status_;
  modem_status_ = now;
  uint32_t events = 0;
  if (changed & MS_CTS_ON) events |= kEvCts;
  if (changed & MS_DSR_ON) events |= kEvDsr;
  if (changed & MS_RING_ON) events |= kEvRing;
  if (changed & MS_RLSD_ON) events |= kEvRlsd;
  input.NoteEvents(events);
}

void CommPortLine::HarvestProbe(LineInput& input, bool wait) {
  if (!probe_->pending) return;
  DWORD got = 0;
  const bool ok =
      ::GetOverlappedResult(port_.Get(), &probe_->overlapped, &got, wait ? TRUE : FALSE);
  const DWORD err = ok ? 0 : ::GetLastError();
  if (err == ERROR_IO_INCOMPLETE) return;
  probe_->pending = false;
  // A cancelled read may hold its byte all the same.
  input.Put(std::span(&probe_->byte, std::min<DWORD>(got, 1)));
  if (err != 0 && err != ERROR_OPERATION_ABORTED) input.NoteFailure(static_cast<int>(err));
}

void CommPortLine::SettleProbe(LineInput& input, DWORD wait_ms) {
  if (!probe_->pending) return;
  if (::WaitForSingleObject(probe_->done.Get(), wait_ms) != WAIT_OBJECT_0) {
    ::CancelIoEx(port_.Get(), &probe_->overlapped);
  }
  HarvestProbe(input, true);
}

InputWatch CommPortLine::PrepareWait(bool want_input, LineInput& input) {
  InputWatch watch;
  if (want_input && !probe_->pending) {
    probe_->overlapped = OVERLAPPED{};
    probe_->overlapped.hEvent = probe_->done.Get();
    probe_->pending = true;
    if (::ReadFile(port_.Get(), &probe_->byte, 1, nullptr, &probe_->overlapped)) {
      HarvestProbe(input, true);
      watch.arrived = true;
      return watch;
    }
    const DWORD err = ::GetLastError();
    if (err != ERROR_IO_PENDING) {
      probe_->pending = false;
      watch.error = static_cast<int>(err);
      return watch;
    }
  }
  // A probe armed for an earlier wait ends this one too.
  watch.watch = probe_->pending;
  return watch;
}

WaitEnd CommPortLine::WaitForInput(const InputWatch& watch, ManualResetEvent& wakeup,
                                   ManualResetEvent& changed, uint32_t wait_ms) {
  // The wake-up first: a stop request is seen even while data keeps coming.
  const HANDLE objects[3] = {ManualResetEventAccess::Handle(wakeup),
                             ManualResetEventAccess::Handle(changed), probe_->done.Get()};
  const int which =
      WaitForAnyHandle(std::span<const HANDLE>(objects, watch.watch ? 3 : 2), wait_ms);
  WaitEnd end;
  end.woken = which == 0;
  if (which < 0 && ::GetLastError() != ERROR_TIMEOUT) end.error = LastErrorCode();
  return end;
}

int CommPortLine::ReadChunk(LineInput& input, DWORD count) {
  uint8_t chunk[kChunkSize];
  OVERLAPPED overlapped{};
  overlapped.hEvent = chunk_done_.Get();
  DWORD got = 0;
  DWORD err = 0;
  if (!::ReadFile(port_.Get(), chunk, std::min(count, kChunkSize), nullptr, &overlapped)) {
    err = ::GetLastError();
    if (err == ERROR_IO_PENDING) {
      err = 0;
      if (::WaitForSingleObject(overlapped.hEvent, kSettleMs) != WAIT_OBJECT_0) {
        ::CancelIoEx(port_.Get(), &overlapped);
      }
    }
  }
  if (err == 0 && !::GetOverlappedResult(port_.Get(), &overlapped, &got, TRUE)) {
    err = ::GetLastError();
  }
  input.Put(std::span(chunk, got));
  if (err == ERROR_OPERATION_ABORTED) return 0;
  return static_cast<int>(err);
}

int CommPortLine::TakeArrived(LineInput& input) {
  HarvestProbe(input, false);
  for (int chunks = 0; chunks < kMaxReadsPerTake; ++chunks) {
    DWORD line_errors = 0;
    COMSTAT status{};
    if (!::ClearCommError(port_.Get(), &line_errors, &status)) return LastErrorCode();
    input.NoteLineErrors(line_errors & kLineErrors);
    out_queue_ = status.cbOutQue;
    if (status.cbInQue == 0) break;
    if (probe_->pending) {
      // Bytes are there, yet the probe has not taken the first of them; a
      // read issued now would queue behind it and wait for one byte more.
      SettleProbe(input, kProbeSettleMs);
      continue;
    }
    if (const int err = ReadChunk(input, status.cbInQue); err != 0) return err;
  }
  CollectModemStatus(input);
  return 0;
}

WriteStep CommPortLine::WriteSome(std::span<const uint8_t> bytes, ManualResetEvent* cancel,
                                  ManualResetEvent& shut_down, const Deadline& deadline) {
  const UniqueHandle done = NewEvent();
  if (!done) return {0, WriteStep::End::kFailed, LastErrorCode()};
  OVERLAPPED overlapped{};
  overlapped.hEvent = done.Get();
  WriteStep step;
  if (!::WriteFile(port_.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), nullptr,
                   &overlapped)) {
    const DWORD err = ::GetLastError();
    if (err != ERROR_IO_PENDING) return {0, WriteStep::End::kFailed, static_cast<int>(err)};
    const HANDLE cancel_handle = cancel ? ManualResetEventAccess::Handle(*cancel) : nullptr;
    const HANDLE objects[3] = {done.Get(), ManualResetEventAccess::Handle(shut_down),
                               cancel_handle};
    const int which = WaitForAnyHandle(std::span<const HANDLE>(objects, cancel_handle ? 3 : 2),
                                       deadline.RemainingMs());
    if (which != 0) {
      if (which == 1) {
        step.end = WriteStep::End::kShutDown;
      } else if (which == 2) {
        step.end = WriteStep::End::kCancelled;
      } else if (::GetLastError() == ERROR_TIMEOUT) {
        step.end = WriteStep::End::kTimedOut;
      } else {
        step = {0, WriteStep::End::kFailed, LastErrorCode()};
      }
      ::CancelIoEx(port_.Get(), &overlapped);
    }
  }
  // Whatever ended the wait, the write has ended before its record goes.
  DWORD sent = 0;
  if (!::GetOverlappedResult(port_.Get(), &overlapped, &sent, TRUE) &&
      step.end == WriteStep::End::kSent) {
    step = {0, WriteStep::End::kFailed, LastErrorCode()};
  }
  step.sent = static_cast<int>(sent);
  return step;
}

void CommPortLine::Close(LineInput& input) {
  if (!port_) return;
  if (probe_->pending) {
    ::CancelIoEx(port_.Get(), &probe_->overlapped);
    if (::WaitForSingleObject(probe_->done.Get(), kSettleMs) == WAIT_OBJECT_0) {
      HarvestProbe(input, true);
    } else {
      // Closing the port ends a read that cancelling did not. Should even
      // that not end it, its record and byte are left to it for good rather
      // than freed under it.
      port_.Reset();
      if (::WaitForSingleObject(probe_->done.Get(), kSettleMs) != WAIT_OBJECT_0) {
        static_cast<void>(probe_.release());
      }
      return;
    }
  }
  ::SetCommState(port_.Get(), &saved_dcb_);
  ::SetCommTimeouts(port_.Get(), &saved_timeouts_);
  port_.Reset();
}

}  // namespace

std::unique_ptr<SerialLine> SerialLine::Open(const std::string& path, int* error) {
  return CommPortLine::Open(path, error);
}

const DeviceErrorCodes kDeviceErrors{.invalid_argument = ERROR_INVALID_PARAMETER,
                                     .cancelled = ERROR_OPERATION_ABORTED,
                                     .timed_out = ERROR_TIMEOUT,
                                     .shut_down = ERROR_INVALID_HANDLE,
                                     .no_progress = ERROR_WRITE_FAULT};

void SetLastSystemError(int code) {
  ::SetLastError(static_cast<DWORD>(code));
}

}  // namespace platform
