#include <fcntl.h>
#include <linux/serial.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <string_view>
#include <system_error>

#include "platform/natural_order.h"
#include "platform/port_details.h"
#include "platform/port_location.h"
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

// Kernel name -> link in `dir` (/dev/serial/by-id or by-path) for every
// device that has one. By-id names stay with the adapter whichever socket it
// is plugged into; by-path names stay with the socket.
std::map<std::string, std::string> LinkNames(const fs::path& dir) {
  std::map<std::string, std::string> names;
  std::error_code ec;
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

// A USB port path: the bus, a dash, then the port on each hub from the root
// on, joined by dots ("1-1.2").
bool IsUsbPortPath(std::string_view name) {
  const size_t dash = name.find('-');
  if (dash == 0 || dash == std::string_view::npos) return false;
  bool digit_before = false;
  for (size_t i = 0; i < name.size(); ++i) {
    const char c = name[i];
    if (c >= '0' && c <= '9') {
      digit_before = true;
    } else if ((c == '.' && i > dash) || i == dash) {
      if (!digit_before) return false;
      digit_before = false;
    } else {
      return false;
    }
  }
  return digit_before;
}

// What sysfs says about the USB device above a tty: the first directory up
// from the tty's device that carries the USB device's attributes. Its name
// is the USB port path ("1-1.2"); the interface directory below it is named
// after it ("1-1.2:1.0").
void DescribeUsbDevice(const fs::path& class_entry, PortDetails& port) {
  std::error_code ec;
  fs::path dir = fs::canonical(class_entry / "device", ec);
  if (ec) return;
  std::string below;  // the name of the directory the walk came from
  for (int level = 0; level < 4 && dir.has_relative_path(); ++level) {
    if (fs::exists(dir / "idVendor", ec) || fs::exists(dir / "product", ec)) {
      port.vendor_id = ReadFirstLine(dir / "idVendor");
      port.product_id = ReadFirstLine(dir / "idProduct");
      port.manufacturer = ReadFirstLine(dir / "manufacturer");
      port.product = ReadFirstLine(dir / "product");
      port.serial_number = ReadFirstLine(dir / "serial");
      const std::string name = dir.filename().string();
      if (IsUsbPortPath(name)) {
        port.location = name;
        if (below.starts_with(name + ":")) port.usb_interface = below.substr(name.size() + 1);
      }
      return;
    }
    below = dir.filename().string();
    dir = dir.parent_path();
  }
}

std::string DescriptionOf(const PortDetails& port, const std::string& kernel_name) {
  std::string product = port.manufacturer;
  if (!port.product.empty()) product += (product.empty() ? "" : " ") + port.product;
  return product.empty() ? kernel_name : product + " (" + kernel_name + ")";
}

}  // namespace

std::vector<PortDetails> ReadPortDetails(const fs::path& sys_root, const fs::path& dev_root,
                                         bool include_virtual) {
  struct Found {
    std::string kernel_name;
    PortDetails details;
  };
  std::vector<Found> found;
  const auto by_id = LinkNames(dev_root / "serial" / "by-id");
  const auto by_path = LinkNames(dev_root / "serial" / "by-path");
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(sys_root / "class" / "tty", ec)) {
    const std::string name = entry.path().filename().string();
    std::error_code entry_ec;
    // Virtual consoles and pseudo-terminals have no device behind them.
    if (!fs::exists(entry.path() / "device", entry_ec)) continue;
    const fs::path node = dev_root / name;
    if (name.starts_with("ttyS") && !UartExists(entry.path(), node)) continue;
    PortDetails port;
    port.device = node.string();
    DescribeUsbDevice(entry.path(), port);
    port.description = DescriptionOf(port, name);
    if (const auto it = by_id.find(name); it != by_id.end()) port.by_id = it->second;
    if (const auto it = by_path.find(name); it != by_path.end()) port.by_path = it->second;
    found.push_back({name, std::move(port)});
  }
  std::sort(found.begin(), found.end(), [](const Found& a, const Found& b) {
    return NaturalLess(a.kernel_name, b.kernel_name);
  });
  std::vector<PortDetails> ports;
  ports.reserve(found.size());
  for (auto& f : found) ports.push_back(std::move(f.details));
  AssignPlaces(ports);
  if (include_virtual) {
    for (const std::string& path : ListVirtualPorts()) {
      PortDetails port;
      port.device = path;
      port.virtual_name = fs::path(path).filename().string();
      port.description = "Virtual port (" + port.virtual_name + ")";
      ports.push_back(std::move(port));
    }
  }
  return ports;
}

std::vector<PortDetails> ReadPortDetails() {
  return ReadPortDetails("/sys", "/dev", true);
}

}  // namespace platform
