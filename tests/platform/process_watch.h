#pragma once
// Waiting for a process that is not a child of the test (a child of its
// child), with a limit.
#include <chrono>
#include <memory>
#include <optional>

namespace platform {

class ProcessWatch {
 public:
  // Call before the process that will be watched is started: on Linux the
  // test takes on the children of its children that lose their parent.
  static void AdoptOrphans();
  // Watches process `id`, which must still run.
  explicit ProcessWatch(long id);
  ~ProcessWatch();
  ProcessWatch(const ProcessWatch&) = delete;
  ProcessWatch& operator=(const ProcessWatch&) = delete;

  // Its exit status once it has ended; none when it still runs after `limit`.
  std::optional<int> WaitForEnd(std::chrono::milliseconds limit);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace platform
