#pragma once
// The virtual-port directory: simulated targets publish their pseudo-terminal
// there as a symbolic link, and the port list shows those entries after the
// machine's own ports. Each entry is guarded by a lock that the publishing
// process holds for as long as it runs; the lock dies with the process, so
// the entry of a process that was killed is known to be stale: it is skipped
// and removed by whoever comes across it, and its name can be taken again.
//
// Windows has no pseudo-terminals and so no virtual ports: there, the list is
// empty, every name passes the check, and the rest does not exist.
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

namespace platform {

// $XDG_RUNTIME_DIR/quarnel/ports when XDG_RUNTIME_DIR is set, else
// /tmp/quarnel-<uid>/ports.
std::filesystem::path VirtualPortDirectory();

// Raised when a running process holds the name.
class VirtualPortInUse : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// An entry of this process, published for as long as the object lives.
class VirtualPortPublication {
 public:
  // Creates the directory (mode 0700) when missing, takes the lock of `name`
  // and links `name` to `target`, replacing a stale entry of that name.
  // Throws VirtualPortInUse when a running process holds the name,
  // std::system_error on other failures.
  VirtualPortPublication(const std::string& name, const std::string& target);
  // Withdraws the entry.
  ~VirtualPortPublication();
  VirtualPortPublication(const VirtualPortPublication&) = delete;
  VirtualPortPublication& operator=(const VirtualPortPublication&) = delete;

  // The entry's path: it opens as a device name.
  const std::filesystem::path& path() const { return link_; }
  // Removes the entry and lets go of its lock now; never throws.
  void Withdraw() noexcept;

 private:
  std::filesystem::path link_;
  std::filesystem::path lock_;
  int lock_fd_ = -1;
};

// The live entries whose link target exists, in natural order, as full
// paths; stale entries met on the way are removed.
std::vector<std::string> ListVirtualPorts();

// False for a stale entry of the virtual-port directory, which is removed
// then; true for a live entry and for any path outside the directory.
bool CheckVirtualPortEntry(const std::filesystem::path& path);

}  // namespace platform
