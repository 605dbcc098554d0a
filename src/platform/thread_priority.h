#pragma once
// Thread priorities of the component's threads, as far as the system permits.
#include <thread>

namespace platform {

constexpr int kPriorityIdle = -15;
constexpr int kPriorityLowest = -2;
constexpr int kPriorityLower = -1;
constexpr int kPriorityNormal = 0;
constexpr int kPriorityHigher = 1;
constexpr int kPriorityHighest = 2;
constexpr int kPriorityTimeCritical = 15;

// Applies `level` (-15..15) to the thread; silently ignored where the
// system refuses (no privilege for real-time scheduling).
void ApplyThreadPriority(std::thread::native_handle_type thread, int level);

}  // namespace platform
