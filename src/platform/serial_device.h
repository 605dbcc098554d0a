#pragma once
// A serial device, behaving like the driver the comm component was written
// for: exclusive use, its own receive queue (so queue counts and the event
// character work as expected), comm events, and waits that a wake-up event
// can always end.
//
// Thread safety: WaitCommEvent (event thread), Write (writer thread) and
// Read/ClearError/SetState... (main thread) may run at the same time. The
// object must outlive every call in progress: stop the waiting threads (wake
// them with their wake-up event) or Shutdown before destroying it.
//
// Failures: every call that fails returns false (or -1) with the last error
// (platform::LastError) set. A failure is lasting once FailedForGood() is
// true: the device has vanished (Gone) or was shut down; retrying cannot help
// then. Any other failure is transient and is also noted as kCeIoe for
// ClearError. The codes named below are Linux's; the Windows device sets
// their counterparts (ECANCELED: ERROR_OPERATION_ABORTED, ETIMEDOUT:
// ERROR_TIMEOUT, EBADF: ERROR_INVALID_HANDLE, EINVAL:
// ERROR_INVALID_PARAMETER), and code above the platform decides by
// ClassifySystemError, never by a number.
//
// One portable core (serial_device.cpp) does everything around the I/O on
// every system: argument checks, the receive queue (receive_queue.h, which
// counts what arrives, spots the event character and notes overruns), the
// events, which failures count, the device's end and shutting down. Each
// system's part, the line (serial_line.h), only opens, reads, waits and
// writes. Linux polls the descriptor together with the wake-up event's
// descriptor. Windows keeps an overlapped read of one byte pending on the
// port and waits for its event together with the wake-up event: with
// time-outs (0, 0, 0) the read ends as soon as a byte arrives, on Windows and
// under Wine, and the rest can be read at once.
#include <cstdint>
#include <memory>
#include <string>

#include "platform/comm_records.h"
#include "platform/manual_reset_event.h"

namespace platform {

class SerialDevice {
 public:
  // Opens `path` for exclusive use, in raw mode, with its input flushed:
  // bytes that were waiting before are never delivered. Only serial devices
  // and pseudo-terminal slaves are taken. nullptr with the last error set on
  // failure: ENOENT when missing, EBUSY when this or another process holds
  // the port, ENOTTY for anything that is not a serial line (a file, the
  // controlling terminal /dev/tty, the console, a virtual console, a
  // pseudo-terminal master). Windows: ERROR_FILE_NOT_FOUND when missing,
  // ERROR_ACCESS_DENIED (the system's own answer) when another process holds
  // the port, and what GetCommState answers for anything that is no serial
  // line (ERROR_INVALID_FUNCTION; under Wine, ERROR_INVALID_HANDLE).
  static std::unique_ptr<SerialDevice> Open(const std::string& path);

  // Puts back the terminal settings the device had before Open.
  ~SerialDevice();
  SerialDevice(const SerialDevice&) = delete;
  SerialDevice& operator=(const SerialDevice&) = delete;

  bool SetState(const Dcb& dcb);
  // read_size: capacity of the receive queue (0 is refused); write_size is
  // advisory (the system owns the transmit buffer).
  bool SetupQueues(uint32_t read_size, uint32_t write_size);
  // Taken for the caller: reads never block here whatever the record says.
  bool SetTimeouts(const CommTimeouts& timeouts);
  bool SetMask(uint32_t ev_mask);

  // Takes in what has arrived, then reports and clears the accumulated kCe*
  // flags and the queue counts. Either pointer may be null. Fails once the
  // device is gone and every byte received before has been read.
  bool ClearError(uint32_t* errors, ComStat* stat);

  // Takes up to `count` bytes (0 is fine); -1 on error. Never blocks.
  int Read(void* buf, int count);

  // Writes all of `buf` unless `cancel` (may be null) is signalled, the
  // time-out passes (kInfinite: none) or an error occurs. Returns the bytes
  // written (partial on cancel/time-out, last error ECANCELED/ETIMEDOUT), -1
  // on an error with nothing written.
  int Write(const void* buf, int count, ManualResetEvent* cancel, uint32_t timeout_ms);

  // Blocks until a monitored event occurs (true, *occurred = event bits) or
  // `wakeup` is signalled (true, *occurred = 0; the caller resets it). Events
  // already pending are reported at once, before a signalled wakeup. When the
  // device vanishes, kEvDeviceGone is reported once (with any events still
  // pending); after that, and after Shutdown, it fails at once. A transient
  // failure also returns false: the caller should pause before it waits
  // again. One waiting thread at a time.
  bool WaitCommEvent(uint32_t* occurred, ManualResetEvent& wakeup);

  // True once a failure is lasting: the device vanished or was shut down.
  bool FailedForGood() const;
  // True once the device has vanished (hung up, unplugged); *error, when
  // given, receives the system error that says so.
  bool Gone(int* error = nullptr) const;

  // Ends this device's use for good, for a port that is closed while other
  // threads may still hold the object: wakes a WaitCommEvent and a Write in
  // progress (they fail with EBADF), waits until they have left, then puts
  // back the old settings and releases the device, so the port can be opened
  // again at once. Every later call fails at once (EBADF; Read and
  // ClearError still hand out what was queued). Idempotent.
  void Shutdown();

 private:
  struct Impl;
  explicit SerialDevice(std::unique_ptr<Impl> impl);
  std::unique_ptr<Impl> impl_;
};

}  // namespace platform
