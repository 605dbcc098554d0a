#include <pthread.h>
#include <windows.h>

#include <algorithm>

#include "platform/thread_priority.h"

namespace platform {
namespace {

// The levels are the system's own THREAD_PRIORITY_* values; a level between
// the named ones takes the nearest that the system accepts.
int SystemPriority(int level) {
  if (level <= kPriorityIdle) return THREAD_PRIORITY_IDLE;
  if (level >= kPriorityTimeCritical) return THREAD_PRIORITY_TIME_CRITICAL;
  return std::clamp(level, THREAD_PRIORITY_LOWEST, THREAD_PRIORITY_HIGHEST);
}

}  // namespace

// With the POSIX thread model of MinGW-w64, std::thread runs on winpthreads
// and its native handle is a pthread_t, not a Windows handle; winpthreads
// hands out the thread's own handle. A refusal changes nothing: the threads
// run correctly at any priority.
void ApplyThreadPriority(std::thread::native_handle_type thread, int level) {
  const HANDLE handle = ::pthread_gethandle(thread);
  if (handle == nullptr) return;
  (void)::SetThreadPriority(handle, SystemPriority(level));
}

}  // namespace platform
