#pragma once
// The serial ports an operator can choose from.
#include <filesystem>
#include <string>
#include <vector>

namespace platform {

struct PortEntry {
  std::string device;       // opens as a device name
  std::string description;  // for display, e.g. the adapter's product
  // How a port list shows it: the device, or a virtual port's own name
  // ("sim0"), as the rest of the window and the command line name it.
  std::string name;
};

// The machine's serial ports in natural order, then the virtual ports.
// Windows: the ports of the registry's serial-port map, with the friendly
// names of their devices where the system has them.
std::vector<PortEntry> ListSerialPorts();

// Linux: the same over another sysfs and /dev root (tests use a fake tree).
// Platform UARTs that do not really exist (ttyS entries of an unknown type)
// are skipped. `include_virtual` adds the virtual ports at the end.
std::vector<PortEntry> ListSerialPorts(const std::filesystem::path& sys_root,
                                       const std::filesystem::path& dev_root,
                                       bool include_virtual = true);

}  // namespace platform
