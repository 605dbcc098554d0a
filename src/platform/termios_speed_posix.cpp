// Only the kernel's termios definitions here: <termios.h> must not be mixed
// in, its struct termios differs from the kernel's.
#include "platform/termios_speed_posix.h"

#include <asm/ioctls.h>
#include <asm/termbits.h>

#include <cerrno>

extern "C" int ioctl(int fd, unsigned long request, ...);

namespace platform {

bool SetArbitrarySpeed(int fd, uint32_t speed) {
  if (speed == 0) {
    // Speed 0 would hang up the line.
    errno = EINVAL;
    return false;
  }
  termios2 tio{};
  if (::ioctl(fd, TCGETS2, &tio) != 0) return false;
  tio.c_cflag &= ~(CBAUD | (CBAUD << IBSHIFT));
  tio.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
  tio.c_ispeed = speed;
  tio.c_ospeed = speed;
  return ::ioctl(fd, TCSETS2, &tio) == 0;
}

bool ReadBackSpeed(int fd, uint32_t* speed) {
  termios2 tio{};
  if (::ioctl(fd, TCGETS2, &tio) != 0) return false;
  *speed = tio.c_ospeed;
  return true;
}

}  // namespace platform
