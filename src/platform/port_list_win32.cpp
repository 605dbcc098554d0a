#include "platform/port_details.h"
#include "platform/port_list.h"

namespace platform {

// COM1..COM9 open under their own name; the device layer adds the \\.\ form
// that COM10 and above need, so the list gives the names as the system does.
std::vector<PortEntry> ListSerialPorts() {
  std::vector<PortEntry> ports;
  for (PortDetails& port : ReadPortDetails()) {
    ports.push_back({port.device, std::move(port.description), port.device});
  }
  return ports;
}

}  // namespace platform
