#include <fcntl.h>
#include <linux/serial.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <system_error>

#include "platform/natural_order.h"
#include "platform/port_list.h"
#include "platform/virtual_ports.h"

namespace fs = std::filesystem;

namespace platform {
namespace {

std::string ReadFirstLine(const fs::path& file) {
  std::ifstream in(file);
  std::string line;
  std::getline(in, line);
  while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
  return line;
}

// Platform UARTs (ttyS*) exist in sysfs whether or not the hardware does; a
// port of unknown type is a phantom that would fail on first use.
bool UartExists(const fs::path& class_entry, const fs::path& dev_node) {
  std::error_code ec;
  if (fs::exists(class_entry / "type", ec)) {
    const std::string type = ReadFirstLine(class_entry / "type");
    return !type.empty() && type != "0";
  }
  // Older kernels have no type attribute: ask the driver.
  const int fd = ::open(dev_node.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  serial_struct info{};
  const bool known = ::ioctl(fd, TIOCGSERIAL, &info) == 0 && info.type != PORT_UNKNOWN;
  ::close(fd);
  return known;
}

// Kernel name -> /dev/serial/by-id path for every adapter that has one: that
// name stays the same whichever socket the adapter is plugged into.
std::map<std::string, std::string> ByIdNames(const fs::path& dev_root) {
  std::map<std::string, std::string> names;
  std::error_code ec;
  const fs::path dir = dev_root / "serial" / "by-id";
  for (const auto& entry : fs::directory_iterator(dir, ec)) {
    std::error_code link_ec;
    const fs::path target = fs::read_symlink(entry.path(), link_ec);
    if (link_ec) continue;
    const std::string kernel_name = target.filename().string();
    auto [it, inserted] = names.emplace(kernel_name, entry.path().string());
    // Several links to one device: take the first in name order, so the
    // choice does not depend on directory order.
    if (!inserted && entry.path().string() < it->second) it->second = entry.path().string();
  }
  return names;
}

// "manufacturer product" of the USB device above the tty, if any.
std::string UsbProduct(const fs::path& class_entry) {
  std::error_code ec;
  fs::path dir = fs::canonical(class_entry / "device", ec);
  if (ec) return {};
  for (int level = 0; level < 4 && dir.has_relative_path(); ++level, dir = dir.parent_path()) {
    if (!fs::exists(dir / "product", ec)) continue;
    const std::string product = ReadFirstLine(dir / "product");
    const std::string maker = ReadFirstLine(dir / "manufacturer");
    if (maker.empty()) return product;
    return product.empty() ? maker : maker + " " + product;
  }
  return {};
}

}  // namespace

std::vector<PortEntry> ListSerialPorts(const fs::path& sys_root, const fs::path& dev_root,
                                       bool include_virtual) {
  struct Found {
    std::string kernel_name;
    PortEntry entry;
  };
  std::vector<Found> found;
  const auto by_id = ByIdNames(dev_root);
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(sys_root / "class" / "tty", ec)) {
    const std::string name = entry.path().filename().string();
    std::error_code entry_ec;
    // Virtual consoles and pseudo-terminals have no device behind them.
    if (!fs::exists(entry.path() / "device", entry_ec)) continue;
    const fs::path node = dev_root / name;
    if (name.starts_with("ttyS") && !UartExists(entry.path(), node)) continue;
    PortEntry port;
    const std::string product = UsbProduct(entry.path());
    if (const auto it = by_id.find(name); it != by_id.end()) {
      port.device = it->second;
    } else {
      port.device = node.string();
    }
    port.description = product.empty() ? name : product + " (" + name + ")";
    port.name = port.device;
    found.push_back({name, std::move(port)});
  }
  std::sort(found.begin(), found.end(), [](const Found& a, const Found& b) {
    return NaturalLess(a.kernel_name, b.kernel_name);
  });
  std::vector<PortEntry> ports;
  ports.reserve(found.size());
  for (auto& f : found) ports.push_back(std::move(f.entry));
  if (include_virtual) {
    for (const std::string& path : ListVirtualPorts()) {
      const std::string name = fs::path(path).filename().string();
      ports.push_back({path, "Virtual port (" + name + ")", name});
    }
  }
  return ports;
}

std::vector<PortEntry> ListSerialPorts() {
  return ListSerialPorts("/sys", "/dev", true);
}

}  // namespace platform
