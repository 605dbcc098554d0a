#pragma once
// A pseudo-terminal pair: the master side is kept open here; the slave side
// is a device path that a serial port object can open like a real port.
#include <string>

namespace platform {

class PseudoTerminal {
 public:
  // Opens a new pair in raw mode; throws std::system_error on failure.
  PseudoTerminal();
  ~PseudoTerminal();
  PseudoTerminal(const PseudoTerminal&) = delete;
  PseudoTerminal& operator=(const PseudoTerminal&) = delete;

  int MasterFd() const { return master_fd_; }
  const std::string& SlavePath() const { return slave_path_; }
  // Closes the master side: the slave side sees a hang-up, as when an
  // adapter is unplugged.
  void CloseMaster() noexcept;

 private:
  int master_fd_ = -1;
  std::string slave_path_;
};

}  // namespace platform
