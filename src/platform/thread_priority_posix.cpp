#include <pthread.h>
#include <sched.h>

#include "platform/thread_priority.h"

namespace platform {

// Linux gives an unprivileged process no way to raise a thread above normal:
// nice values below 0 and the real-time policies need privileges, and a
// real-time serial thread would gain nothing measurable here. So levels above
// normal run as normal; levels below use the policies that lower a thread
// without privileges: idle for tpIdle, batch for tpLowest/tpLower. Refusals
// are ignored, as the thread runs correctly at any priority.
void ApplyThreadPriority(std::thread::native_handle_type thread, int level) {
  int policy = SCHED_OTHER;
  if (level <= -15) {
    policy = SCHED_IDLE;
  } else if (level < 0) {
    policy = SCHED_BATCH;
  }
  sched_param param{};
  param.sched_priority = 0;
  (void)::pthread_setschedparam(thread, policy, &param);
}

}  // namespace platform
