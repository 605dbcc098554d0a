#include <time.h>

#include "platform/process_time.h"

namespace platform {

std::chrono::microseconds ProcessCpuTime() {
  timespec now{};
  ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return std::chrono::seconds(now.tv_sec) + std::chrono::duration_cast<std::chrono::microseconds>(
                                                std::chrono::nanoseconds(now.tv_nsec));
}

}  // namespace platform
