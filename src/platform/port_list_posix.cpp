#include "platform/port_details.h"
#include "platform/port_list.h"

namespace fs = std::filesystem;

namespace platform {

std::vector<PortEntry> ListSerialPorts(const fs::path& sys_root, const fs::path& dev_root,
                                       bool include_virtual) {
  std::vector<PortEntry> ports;
  for (PortDetails& port : ReadPortDetails(sys_root, dev_root, include_virtual)) {
    if (!port.virtual_name.empty()) {
      ports.push_back({port.device, std::move(port.description), std::move(port.virtual_name)});
      continue;
    }
    // An adapter's by-id name stays the same whichever socket it is in.
    std::string device = port.by_id.empty() ? port.device : port.by_id;
    ports.push_back({device, std::move(port.description), device});
  }
  return ports;
}

std::vector<PortEntry> ListSerialPorts() {
  return ListSerialPorts("/sys", "/dev", true);
}

}  // namespace platform
