#pragma once
// One child process of a station: its output read by a thread per stream,
// its events read from each line of its stdout, and everything handed to the
// supervisor's queue line by line, its end last.
#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/child_process.h"
#include "station/child_launcher.h"
#include "station/supervisor_queue.h"

namespace quarnel::station {

class ChildRunner : public RunningChild {
 public:
  // Starts `program` with `args`; throws std::system_error when it cannot,
  // or when its readers cannot be started (the child is ended then: nothing
  // is left running that nobody watches).
  ChildRunner(SupervisorQueue& queue, size_t slot, uint64_t run, const std::string& program,
              const std::vector<std::string>& args,
              const ThreadStarter& start_thread = PlainThreads());
  // Kills the child if it still runs, and waits for it and its readers.
  ~ChildRunner() override;
  ChildRunner(const ChildRunner&) = delete;
  ChildRunner& operator=(const ChildRunner&) = delete;

  void RequestStop(int stop_signal) override { child_.RequestStop(stop_signal); }
  void Kill() override { child_.Kill(); }

 private:
  void ReadStream(platform::ChildProcess::Stream stream);
  void PostLine(bool error_stream, std::string text);

  SupervisorQueue& queue_;
  size_t slot_;
  uint64_t run_;
  platform::ChildProcess child_;
  std::atomic<int> open_streams_{2};
  std::thread output_reader_;
  std::thread error_reader_;
};

}  // namespace quarnel::station
