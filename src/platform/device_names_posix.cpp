#include <cctype>

#include "platform/device_names.h"
#include "platform/virtual_ports.h"

namespace platform {
namespace {

// The n of "COMn" (any case), or 0 when the name is not of that form.
unsigned long ComPortNumber(const std::string& name) {
  if (name.size() < 4 || name.size() > 13) return 0;
  for (size_t i = 0; i < 3; ++i) {
    if (std::toupper(static_cast<unsigned char>(name[i])) != "COM"[i]) return 0;
  }
  unsigned long n = 0;
  for (size_t i = 3; i < name.size(); ++i) {
    if (!std::isdigit(static_cast<unsigned char>(name[i]))) return 0;
    n = n * 10 + static_cast<unsigned long>(name[i] - '0');
  }
  return n;
}

std::string DevicePathOf(const std::string& name) {
  if (name.find('/') != std::string::npos) return name;
  if (const unsigned long n = ComPortNumber(name); n >= 1) {
    return "/dev/ttyS" + std::to_string(n - 1);
  }
  return "/dev/" + name;
}

}  // namespace

std::string ResolveDeviceName(const std::string& name) {
  const std::string kDeviceNamespace = "\\\\.\\";
  const std::string path = DevicePathOf(
      name.starts_with(kDeviceNamespace) ? name.substr(kDeviceNamespace.size()) : name);
  CheckVirtualPortEntry(path);
  return path;
}

}  // namespace platform
