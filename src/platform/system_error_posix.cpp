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

}  // namespace platform
