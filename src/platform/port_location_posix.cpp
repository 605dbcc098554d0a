#include <system_error>

#include "platform/device_names.h"
#include "platform/port_location.h"
#include "platform/virtual_ports.h"

namespace fs = std::filesystem;

namespace platform {
namespace {

bool Exists(const fs::path& path) {
  std::error_code ec;
  return fs::exists(path, ec);  // through links: a link to nothing is absent
}

// A live virtual port of that name, or a by-id link of that name: the
// entries a port list shows as full paths, named by their last part.
std::optional<std::string> ListedEntryNamed(const std::string& name, const fs::path& dev_root) {
  if (name.empty() || name.find('/') != std::string::npos || name.starts_with(".")) {
    return std::nullopt;
  }
  const fs::path entry = VirtualPortDirectory() / name;
  std::error_code ec;
  if (fs::is_symlink(entry, ec) && CheckVirtualPortEntry(entry) && Exists(entry)) {
    return entry.string();
  }
  const fs::path by_id = dev_root / "serial" / "by-id" / name;
  if (fs::is_symlink(by_id, ec) && Exists(by_id)) return by_id.string();
  return std::nullopt;
}

}  // namespace

std::optional<std::string> ResolvePort(const std::string& spelling, const fs::path& sys_root,
                                       const fs::path& dev_root) {
  if (spelling.starts_with(kUsbPathPrefix)) {
    return FindPortAtPlace(ReadPortDetails(sys_root, dev_root, false),
                           std::string_view(spelling).substr(kUsbPathPrefix.size()));
  }
  if (auto entry = ListedEntryNamed(spelling, dev_root)) return entry;
  const fs::path device = ResolveDeviceName(spelling);
  if (!Exists(device)) return std::nullopt;
  // A by-path link names a socket: whatever it leads to now is the device,
  // so a later replug elsewhere cannot change what was resolved.
  if (device.lexically_normal().parent_path() ==
      (dev_root / "serial" / "by-path").lexically_normal()) {
    std::error_code ec;
    const fs::path target = fs::canonical(device, ec);
    if (ec) return std::nullopt;
    return target.string();
  }
  return device.string();
}

std::optional<std::string> ResolvePort(const std::string& spelling) {
  return ResolvePort(spelling, "/sys", "/dev");
}

std::string DeviceIdentity(const std::string& device) {
  std::error_code ec;
  const fs::path resolved = fs::canonical(device, ec);
  return ec ? device : resolved.string();
}

}  // namespace platform
