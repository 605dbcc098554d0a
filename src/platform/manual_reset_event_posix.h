#pragma once
// What the POSIX files of the platform share about an event: it is an
// eventfd, readable exactly while the event is signalled, so a thread can
// poll() for a port and for its wake-up at once.
#include "platform/manual_reset_event.h"

namespace platform {

struct ManualResetEvent::Impl {
  int fd = -1;
  int creation_error = 0;
};

struct ManualResetEventAccess {
  // -1 when the event could not be created.
  static int PollFd(const ManualResetEvent& event) { return event.impl_->fd; }
};

}  // namespace platform
