#pragma once
// The simulator's end of the line: a pseudo-terminal published in the
// virtual-port directory. The host opens the published entry like a port.
#include <filesystem>
#include <optional>
#include <string>

#include "platform/pseudo_terminal.h"
#include "platform/virtual_ports.h"
#include "stop_signals.h"

namespace targetsim {

class SimPort {
 public:
  // Creates and publishes the port; throws std::runtime_error with a message
  // for the operator on failure (name in use, directory not writable, ...).
  explicit SimPort(const std::string& name);
  ~SimPort();
  SimPort(const SimPort&) = delete;
  SimPort& operator=(const SimPort&) = delete;

  const std::filesystem::path& link_path() const { return link_path_; }
  const std::string& device_path() const { return pty_.SlavePath(); }

  enum class Event { kReadable, kWritable, kTimeout, kHostAbsent, kStop, kClosed };
  // Waits up to `timeout_us` microseconds (negative: no limit) for input,
  // for room to write when `want_write`, or a stop signal. Microseconds, so
  // paced answers leave on time rather than up to a millisecond late.
  Event Wait(long long timeout_us, bool want_write, const StopSignals& stop);
  // Sleeps up to `timeout_ms` unless a stop signal arrives: used while the
  // host has the port closed, when the pseudo-terminal reports a hang-up
  // without pause.
  void Pause(int timeout_ms, const StopSignals& stop);

  enum class ReadResult { kData, kNothing, kHostAbsent };
  ReadResult Read(std::string& out);
  // Writes what the port takes now and removes it from `pending`.
  // False when the port cannot take anything any more.
  bool Write(std::string& pending);
  // Keeps the line raw for the next host that opens it.
  void ApplyRawMode();
  // Closes the pseudo-terminal, as an unplugged adapter vanishes.
  void HangUp();

 private:
  platform::PseudoTerminal pty_;
  std::filesystem::path link_path_;
  // Holds the entry's lock while this process runs: if it is killed, the
  // entry is known to be stale and its name free again.
  std::optional<platform::VirtualPortPublication> publication_;
};

}  // namespace targetsim
