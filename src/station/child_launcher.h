#pragma once
// How the supervisor starts the child of a slot: a process of the program
// itself (ProcessLauncher), or, in tests, a child whose lines the test
// writes. Whatever the child says reaches the supervisor through its queue.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace quarnel::station {

class SupervisorQueue;

// A child under way. Dropping it ends the child if it still runs.
class RunningChild {
 public:
  virtual ~RunningChild() = default;
  // Asks it to stop as Ctrl-C (or a request to terminate) would: it closes
  // its port and reports how the unit ended.
  virtual void RequestStop(int stop_signal) = 0;
  // Ends it at once.
  virtual void Kill() = 0;
};

class ChildLauncher {
 public:
  virtual ~ChildLauncher() = default;
  // Starts the child `run` of `slot` with `args`; its lines and its end go
  // to the supervisor's queue. Throws std::exception when it cannot start.
  virtual std::unique_ptr<RunningChild> Launch(size_t slot, uint64_t run,
                                               const std::vector<std::string>& args) = 0;
};

// How a reader thread is started; tests make it fail as a starved system
// does (std::system_error).
using ThreadStarter = std::function<std::thread(std::function<void()>)>;
ThreadStarter PlainThreads();

// Children that are processes of `program`, read by a thread per stream.
class ProcessLauncher : public ChildLauncher {
 public:
  ProcessLauncher(SupervisorQueue& queue, std::string program,
                  ThreadStarter start_thread = PlainThreads())
      : queue_(queue), program_(std::move(program)), start_thread_(std::move(start_thread)) {}
  std::unique_ptr<RunningChild> Launch(size_t slot, uint64_t run,
                                       const std::vector<std::string>& args) override;

 private:
  SupervisorQueue& queue_;
  std::string program_;
  ThreadStarter start_thread_;
};

}  // namespace quarnel::station
