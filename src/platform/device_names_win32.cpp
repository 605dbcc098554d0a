#include "platform/device_names.h"

namespace platform {

std::string ResolveDeviceName(const std::string& name) {
  // A path, drive-relative ones ("C:port") included, names what it names.
  const size_t colon = name.find(':');
  const bool trailing_colon = colon != std::string::npos && colon + 1 == name.size();
  if (name.empty() || name.find_first_of("\\/") != std::string::npos ||
      (colon != std::string::npos && !trailing_colon)) {
    return name;
  }
  return "\\\\.\\" + (trailing_colon ? name.substr(0, colon) : name);
}

}  // namespace platform
