#pragma once
// Runs quarnel-target-sim as a child process in a private virtual-port
// directory, and talks to it from the host side of its pseudo-terminal.
#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace simtest {

using testsupport::TempDir;

class SimProcess {
 public:
  // Starts the simulator with XDG_RUNTIME_DIR set to `runtime_dir` and waits
  // for it to print its port's path.
  SimProcess(const std::filesystem::path& runtime_dir, const std::vector<std::string>& args);
  ~SimProcess();
  SimProcess(const SimProcess&) = delete;
  SimProcess& operator=(const SimProcess&) = delete;

  const std::string& port_path() const { return port_path_; }
  // Sends SIGTERM and returns the exit status (-1 if it did not exit normally).
  int Stop();
  // Ends it with SIGKILL, as a crash would: it cleans nothing up.
  void Kill();
  // Waits for the process to end by itself; -1 on time-out or abnormal end.
  int WaitForExit(std::chrono::milliseconds limit);

 private:
  pid_t pid_ = -1;
  std::string port_path_;
};

// The host's end: the published port opened like a serial device, raw.
class HostPort {
 public:
  explicit HostPort(const std::string& path);
  ~HostPort();
  HostPort(const HostPort&) = delete;
  HostPort& operator=(const HostPort&) = delete;

  void Send(const std::string& text);
  // Collects what arrives until `count` bytes are there or `limit` passes.
  std::string Receive(size_t count, std::chrono::milliseconds limit = std::chrono::seconds(3));
  // Collects whatever arrives within `period`.
  std::string ReceiveFor(std::chrono::milliseconds period);
  // Each separate read, for checking how the answers were cut into writes.
  std::vector<std::string> ReceiveChunks(size_t count, std::chrono::milliseconds limit);
  // True when the other side hung up (read gives end of file or EIO).
  bool WaitForHangUp(std::chrono::milliseconds limit);

 private:
  int fd_ = -1;
};

// Command and data records and the expected answers, written out in full.
std::string WithLineEnd(const std::string& record);

}  // namespace simtest
