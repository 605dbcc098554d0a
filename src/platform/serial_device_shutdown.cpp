// Ending a device's use while other threads may still hold it: the comm port
// closes its device at once, while its threads let go of it a moment later.
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>

#include "platform/serial_device.h"

namespace platform {

void SerialDevice::Shutdown() {
  std::unique_lock lock(mutex_);
  if (shut_down_) return;
  shut_down_ = true;
  // Every call that looks at the descriptor under the lock now fails at once.
  MarkLastingErrorLocked(EBADF);
  shutdown_event_.Signal();
  unlocked_uses_done_.wait(lock, [this] { return unlocked_uses_ == 0; });
  // As in the destructor: the exclusive flag stays with a pseudo-terminal.
  ::ioctl(fd_, TIOCNXCL);
  ::close(fd_);
  fd_ = -1;
}

}  // namespace platform
