#pragma once
// What the Windows files of the platform share about an event: it is a
// manual-reset event object of the system, so a thread can wait for it
// together with other objects in one WaitForMultipleObjects. The serial
// device waits that way for its port and for its wake-up at once: it gives
// each overlapped operation an event of its own and waits for
//
//   const HANDLE objects[] = {ManualResetEventAccess::Handle(wakeup), read.hEvent};
//   const int which = WaitForAnyHandle(objects, kInfinite);
//
// where the wake-up comes first, so a stop request is seen even while data
// keeps arriving. Whatever ends the wait, an operation still pending on a
// buffer must be cancelled and waited for before the buffer goes.
#include <windows.h>

#include <cstdint>
#include <span>

#include "platform/manual_reset_event.h"
#include "platform/unique_handle_win32.h"

namespace platform {

struct ManualResetEvent::Impl {
  UniqueHandle handle;  // none when its creation failed
  DWORD creation_error = 0;
};

struct ManualResetEventAccess {
  // nullptr when the event could not be created.
  static HANDLE Handle(const ManualResetEvent& event) { return event.impl_->handle.Get(); }
};

// Waits until one of `objects` is signalled and returns its index (the
// lowest when several are); -1 on time-out (last error ERROR_TIMEOUT) or
// failure (last error set). Events, at most MAXIMUM_WAIT_OBJECTS (64), none
// of them null.
int WaitForAnyHandle(std::span<const HANDLE> objects, uint32_t timeout_ms);

}  // namespace platform
