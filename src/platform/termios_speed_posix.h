#pragma once
// Line speeds without a standard constant. Kept apart from
// termios_mapping_posix.h because they need the kernel's own termios
// definitions, which clash with <termios.h>.
#include <cstdint>

namespace platform {

// Sets `speed` for both directions (termios2 with BOTHER). Call after
// tcsetattr, which would otherwise put back the old speed. False with errno.
bool SetArbitrarySpeed(int fd, uint32_t speed);

// The output speed the driver holds, whichever way it was set.
bool ReadBackSpeed(int fd, uint32_t* speed);

}  // namespace platform
