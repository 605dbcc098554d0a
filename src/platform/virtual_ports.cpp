#include "platform/virtual_ports.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <system_error>

#include "platform/natural_order.h"

namespace platform {

std::filesystem::path VirtualPortDirectory() {
  if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && *runtime) {
    return std::filesystem::path(runtime) / "quarnel" / "ports";
  }
  return std::filesystem::path("/tmp") / ("quarnel-" + std::to_string(::getuid())) / "ports";
}

std::filesystem::path PublishVirtualPort(const std::string& name, const std::string& target) {
  const auto dir = VirtualPortDirectory();
  std::error_code ec;
  std::filesystem::create_directories(dir, ec);
  if (ec) throw std::system_error(ec, "cannot create " + dir.string());
  ::chmod(dir.c_str(), 0700);
  const auto link = dir / name;
  std::filesystem::remove(link, ec);
  std::filesystem::create_symlink(target, link, ec);
  if (ec) throw std::system_error(ec, "cannot publish " + link.string());
  return link;
}

void UnpublishVirtualPort(const std::string& name) noexcept {
  std::error_code ec;
  std::filesystem::remove(VirtualPortDirectory() / name, ec);
}

std::vector<std::string> ListVirtualPorts() {
  std::vector<std::string> ports;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(VirtualPortDirectory(), ec)) {
    if (std::filesystem::exists(entry.path(), ec)) ports.push_back(entry.path().string());
  }
  std::sort(ports.begin(), ports.end(), NaturalLess);
  return ports;
}

}  // namespace platform
