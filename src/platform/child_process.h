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
  // blocked and interrupt and terminate at their defaults (a hang-up or quit
  // signal that the parent ignores stays ignored). Its environment names
  // this process (kSupervisorVariable) for StopWhenParentEnds; on Linux the
  // thread that starts it counts as its parent there, so start children from
  // a thread that outlives them. Throws std::system_error when it cannot be
  // started.
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

// The environment variable by which a ChildProcess knows its parent (the
// process ID; Windows: an inherited handle of the parent's process and its
// ID).
constexpr char kSupervisorVariable[] = "QUARNEL_SUPERVISOR";

// For a child of a supervisor (a ChildProcess): when the parent ends, however
// it ends (even killed outright, even before this call), this process gets a
// request to terminate as a StopSignalWatcher hands it on
// (kStopSignalTerminate), so no child is left behind waiting for a unit and
// holding its port. Without a watcher at that moment the process ends at
// once with 128 + kStopSignalTerminate, as a terminate signal would end it.
// Windows: a program that has not ended kLastResortSeconds after that
// request is ended then (with 128 + 9). Removes kSupervisorVariable from this
// process's environment: call it before any other thread exists. For a
// process that no ChildProcess started: Linux, its parent's end alone, not an
// end before the call; Windows, nothing.
constexpr int kLastResortSeconds = 5;
void StopWhenParentEnds();

}  // namespace platform
