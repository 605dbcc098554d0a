#pragma once
// Which terminals may be opened as a serial port.

namespace platform {

// True for a serial device or a pseudo-terminal slave. False with errno
// ENOTTY for anything else: a file, the controlling terminal (/dev/tty), the
// console, a virtual console (/dev/ttyN) or a pseudo-terminal master
// (/dev/ptmx); opening those as a port would take over the operator's own
// screen and keyboard, or a line that is no serial line at all.
bool IsSerialLine(int fd);

}  // namespace platform
