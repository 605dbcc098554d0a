#include <windows.h>

#include <mutex>

#include "platform/tick.h"

namespace platform {
namespace {

std::mutex source_mutex;
std::function<uint32_t()> source;  // empty: the system's tick

}  // namespace

// GetTickCount is the 32-bit millisecond count since start-up; it wraps after
// about 49.7 days, which the unsigned differences of the callers absorb.
uint32_t TickCount() {
  std::function<uint32_t()> current;
  {
    std::lock_guard lock(source_mutex);
    if (!source) return ::GetTickCount();
    current = source;
  }
  // Called outside the lock so a test clock may itself read the tick.
  return current();
}

void SetTickSourceForTesting(std::function<uint32_t()> new_source) {
  std::lock_guard lock(source_mutex);
  source = std::move(new_source);
}

}  // namespace platform
