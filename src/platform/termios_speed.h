#pragma once
// Line speed of a terminal, any integer value. Kept apart from
// termios_mapping.h because setting arbitrary speeds needs the kernel's own
// termios definitions, which clash with <termios.h>.
#include <cstdint>

namespace platform {

// Sets `speed` for both directions (termios2 with BOTHER). Call after
// tcsetattr, which would otherwise put back the old speed. False with errno.
bool SetSpeed(int fd, uint32_t speed);

// The output speed the driver holds.
bool ReadBackSpeed(int fd, uint32_t* speed);

}  // namespace platform
