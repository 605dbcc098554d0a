#include "station/port_choice.h"

namespace quarnel::station {

int FindPortEntry(const std::vector<std::string>& entries, const std::string& device) {
  for (size_t i = 0; i < entries.size(); ++i) {
    if (entries[i] == device) return static_cast<int>(i);
  }
  if (device.empty() || device.find('/') != std::string::npos) return -1;
  int found = -1;
  for (size_t i = 0; i < entries.size(); ++i) {
    const std::string& entry = entries[i];
    const size_t slash = entry.rfind('/');
    if (slash == std::string::npos || entry.compare(slash + 1, std::string::npos, device) != 0) {
      continue;
    }
    if (found >= 0) return -1;  // ambiguous: leave it to the device lookup
    found = static_cast<int>(i);
  }
  return found;
}

}  // namespace quarnel::station
