#include "platform/serial_line_kind_posix.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>

namespace platform {
namespace {

// Device numbers of Linux (Documentation/admin-guide/devices.txt).
constexpr unsigned kBsdPtyMasterMajor = 2;
constexpr unsigned kTtyMajor = 4;  // virtual consoles below minor 64, then ttyS
constexpr unsigned kFirstSerialMinor = 64;
constexpr unsigned kTtyAuxMajor = 5;  // /dev/tty, /dev/console, /dev/ptmx
constexpr unsigned kFirstUnix98MasterMajor = 128;
constexpr unsigned kLastUnix98MasterMajor = 135;

bool Refuse() {
  errno = ENOTTY;
  return false;
}

}  // namespace

bool IsSerialLine(int fd) {
  if (!::isatty(fd)) return Refuse();
  struct stat info {};
  if (::fstat(fd, &info) != 0) return false;
  const unsigned major_number = major(info.st_rdev);
  const unsigned minor_number = minor(info.st_rdev);
  if (major_number == kTtyAuxMajor || major_number == kBsdPtyMasterMajor) return Refuse();
  if (major_number == kTtyMajor && minor_number < kFirstSerialMinor) return Refuse();
  if (major_number >= kFirstUnix98MasterMajor && major_number <= kLastUnix98MasterMajor) {
    return Refuse();
  }
  return true;
}

}  // namespace platform
