#include "platform/virtual_ports.h"

namespace platform {

// The simulated targets publish pseudo-terminals, which Windows does not
// have: there is no virtual-port directory, so nothing is listed and no name
// is looked up there.

std::vector<std::string> ListVirtualPorts() {
  return {};
}

bool CheckVirtualPortEntry(const std::filesystem::path&) {
  return true;
}

}  // namespace platform
