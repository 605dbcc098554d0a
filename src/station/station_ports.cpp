#include "station/station_ports.h"

#include <sstream>

#include "platform/port_location.h"

namespace quarnel::station {

std::vector<std::string> ParsePortsFile(const std::string& text) {
  std::vector<std::string> ports;
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    const size_t first = line.find_first_not_of(" \t\r");
    if (first == std::string::npos || line[first] == '#') continue;
    const size_t last = line.find_last_not_of(" \t\r");
    ports.push_back(line.substr(first, last - first + 1));
  }
  return ports;
}

std::vector<StationPort> PlanPorts(const std::vector<std::string>& names,
                                   const std::function<std::string(const std::string&)>& identity) {
  std::vector<StationPort> plan;
  std::vector<std::string> identities;
  for (const std::string& name : names) {
    StationPort port{name, std::nullopt};
    const std::string id = identity(name);
    for (size_t i = 0; i < identities.size(); ++i) {
      if (identities[i] == id) {
        port.duplicate_of = i;
        break;
      }
    }
    identities.push_back(id);
    plan.push_back(std::move(port));
  }
  return plan;
}

std::string PortIdentity(const std::string& name) {
  // The device the spelling names now; a spelling of nothing present (an
  // adapter not plugged in yet) stands for itself.
  try {
    if (const auto device = platform::ResolvePort(name)) return platform::DeviceIdentity(*device);
  } catch (const platform::AmbiguousPortPlace&) {
  }
  return name;
}

}  // namespace quarnel::station
