#pragma once
// The host's side of a running simulator's pseudo-terminal.
#include <chrono>
#include <string>
#include <vector>

#include "support/simulator.h"
#include "support/temp_dir.h"

namespace simtest {

using testsupport::Simulator;
using testsupport::TempDir;

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
