#include <cerrno>
#include <cstring>

#include "platform/system_error.h"

namespace platform {
namespace {

// strerror_r comes in two flavours; each overload takes the one at hand.
[[maybe_unused]] std::string FromStrerror(int result, const char* buffer, int code) {
  if (result == 0) return buffer;
  return "Unknown error " + std::to_string(code);
}

[[maybe_unused]] std::string FromStrerror(const char* result, const char*, int) {
  return result;
}

}  // namespace

int LastError() {
  return errno;
}

std::string SystemErrorText(int code) {
  char buffer[256] = {};
  return FromStrerror(::strerror_r(code, buffer, sizeof buffer), buffer, code);
}

ErrorKind ClassifySystemError(int code, ErrorOccasion occasion) {
  if (occasion == ErrorOccasion::kOpening) {
    switch (code) {
      case ENOENT:
        return ErrorKind::kNotFound;
      case EACCES:
        return ErrorKind::kAccessDenied;
      case EBUSY:  // also the answer of a port held with TIOCEXCL or its lock
        return ErrorKind::kBusy;
      case ENOTTY:  // the serial device's answer for anything but a serial line
        return ErrorKind::kNotASerialPort;
      default:
        return ErrorKind::kOther;
    }
  }
  // A hang-up, or a driver whose device has been removed.
  switch (code) {
    case EIO:
    case ENXIO:
    case ENODEV:
      return ErrorKind::kGone;
    default:
      return ErrorKind::kOther;
  }
}

}  // namespace platform
