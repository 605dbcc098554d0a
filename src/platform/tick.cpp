#include "platform/tick.h"

#include <chrono>
#include <mutex>

namespace platform {
namespace {

std::mutex source_mutex;
std::function<uint32_t()> source;  // empty: the real clock

uint32_t RealTick() {
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                      std::chrono::steady_clock::now().time_since_epoch())
                      .count();
  return static_cast<uint32_t>(ms);  // wraps like the 32-bit tick it stands for
}

}  // namespace

uint32_t TickCount() {
  std::function<uint32_t()> current;
  {
    std::lock_guard lock(source_mutex);
    if (!source) return RealTick();
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
