#pragma once
// The processor time a process has used, for telling a wait from a spin.
#include <chrono>

namespace platform {

// User and system time of all the process's threads so far. Its steps are
// as fine as the system counts them (on Windows, often 15.6 ms).
std::chrono::microseconds ProcessCpuTime();

}  // namespace platform
