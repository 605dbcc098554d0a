#include <windows.h>

#include <cstdint>

#include "platform/process_time.h"

namespace platform {
namespace {

// FILETIME counts in units of 100 ns.
std::chrono::microseconds FromFileTime(const FILETIME& time) {
  const uint64_t units = (static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
  return std::chrono::microseconds(units / 10);
}

}  // namespace

// The C runtime's clock() is no help here: on Windows it counts wall time.
std::chrono::microseconds ProcessCpuTime() {
  FILETIME created{}, exited{}, kernel{}, user{};
  if (!::GetProcessTimes(::GetCurrentProcess(), &created, &exited, &kernel, &user)) return {};
  return FromFileTime(kernel) + FromFileTime(user);
}

}  // namespace platform
