#pragma once
// A program started as a child process whose standard output and error come
// back through pipes. Reading blocks, so each stream is read by a thread of
// its own (or polled); the supervisor never spins.
#include <cstddef>
#include <memory>
#include <string>
#include <vector>

namespace platform {

class ChildProcess {
 public:
  enum class Stream { kOutput, kError };

  // Starts `program` with `args` (without the program name), standard input
  // on the null device, in a process group of its own (so a Ctrl-C at the
  // terminal reaches the parent alone, which passes it on), with no signal
  // blocked. Throws std::system_error when it cannot be started.
  ChildProcess(const std::string& program, const std::vector<std::string>& args);
  // A child still running is killed and reaped: none is left behind.
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // Waits for output of `stream` and reads up to `size` bytes; 0 at its end
  // (the child closed it or ended). May be called from one thread per stream.
  size_t Read(Stream stream, char* buffer, size_t size);
  // Asks it to stop as an operator's Ctrl-C (kStopSignalInterrupt) or a
  // request to terminate (kStopSignalTerminate) would.
  void RequestStop(int stop_signal);
  // Ends it at once.
  void Kill();
  // Waits for it to end: its exit status, 128 + the signal that ended it.
  int Wait();
  long Id() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// The path of the running program, to start it again.
std::string OwnProgramPath();

// For a child of a supervisor: when the parent ends, however it ends (even
// killed outright), this process gets a request to terminate, so no child is
// left behind waiting for a unit. Linux; elsewhere nothing yet.
void StopWhenParentEnds();

}  // namespace platform
