#pragma once
// Waiting for an adapter without polling fast: a caller whose port is absent
// waits here until something may have changed among the ports, then resolves
// its spelling again (ResolvePort).
//
// Linux: inotify on /dev, /dev/serial/by-path, /dev/serial/by-id and the
// virtual-port directory; a directory that does not exist yet (no USB
// adapter plugged in since boot, no simulator started) is waited for through
// the nearest one above it that does. Windows: the registry's serial-port
// map, through its change notification and a look once a second.
#include <cstdint>
#include <filesystem>
#include <memory>
#include <vector>

#include "platform/manual_reset_event.h"

namespace platform {

class PortWatch {
 public:
  enum class Wake {
    Changed,  // something may have changed among the ports: resolve again
    WakeUp,   // the wake-up event is signalled
    Timeout,
  };

  // Watching starts here: a change after the constructor returns wakes the
  // next Wait, even when it happens before that Wait begins. Never throws
  // for want of the system's means: without them (no inotify instance left)
  // every Wait ends with Changed after at most a second.
  PortWatch();
  // Linux: watches these directories instead (tests use a fake tree).
  explicit PortWatch(std::vector<std::filesystem::path> directories);
  ~PortWatch();
  PortWatch(const PortWatch&) = delete;
  PortWatch& operator=(const PortWatch&) = delete;

  // Blocks until a change, `wakeup` (may be null) is signalled, or
  // `timeout_ms` passes (kInfinite: no limit); a signalled wake-up event
  // wins over a change. Changes since the last Wait (or the constructor)
  // count: they end it at once. One thread waits at a time.
  Wake Wait(ManualResetEvent* wakeup, uint32_t timeout_ms);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace platform
