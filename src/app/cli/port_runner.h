#pragma once
// One port of a supervised run: quarnel-cli started again for that port with
// --json, its output read by a thread per stream and handed to the
// supervisor's queue line by line. The supervisor waits on the queue only.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/child_process.h"

namespace quarnel::cli {

struct RunnerEvent {
  enum class Kind {
    kOutputLine,  // a line of the child's stdout (a JSON event)
    kErrorLine,   // a line of its stderr
    kEnded,       // it ended: `exit_status`
    kStop,        // a stop request from outside: `exit_status` holds the signal
  };
  Kind kind = Kind::kOutputLine;
  size_t slot = 0;   // which port
  uint64_t run = 0;  // which child of that port
  std::string text;
  int exit_status = 0;
};

class EventQueue {
 public:
  void Post(RunnerEvent event);
  // Waits for events until `deadline` (none: as long as it takes) and takes
  // all that are there; empty when the deadline passed.
  std::vector<RunnerEvent> Wait(std::optional<std::chrono::steady_clock::time_point> deadline);

 private:
  std::mutex mutex_;
  std::condition_variable ready_;
  std::deque<RunnerEvent> events_;
};

class PortRunner {
 public:
  // Starts `program` with `args`; throws std::system_error when it cannot.
  PortRunner(EventQueue& queue, size_t slot, uint64_t run, const std::string& program,
             const std::vector<std::string>& args);
  // Kills the child if it still runs, and waits for it and its readers.
  ~PortRunner();
  PortRunner(const PortRunner&) = delete;
  PortRunner& operator=(const PortRunner&) = delete;

  void RequestStop(int stop_signal) { child_.RequestStop(stop_signal); }
  void Kill() { child_.Kill(); }

 private:
  void ReadStream(platform::ChildProcess::Stream stream);

  EventQueue& queue_;
  size_t slot_;
  uint64_t run_;
  platform::ChildProcess child_;
  std::atomic<int> open_streams_{2};
  std::thread output_reader_;
  std::thread error_reader_;
};

}  // namespace quarnel::cli
