#include "platform/port_location.h"

#include <algorithm>
#include <cctype>

namespace platform {
namespace {

// Windows spells locations in mixed case and compares them ignoring it; the
// Linux ones are digits, dots and dashes.
bool SameText(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) ==
           std::tolower(static_cast<unsigned char>(y));
  });
}

// What names a port's place, from coarse to fine.
std::vector<std::string> PlaceKeys(const PortDetails& port) {
  std::vector<std::string> keys;
  if (!port.location.empty()) {
    keys.push_back(port.location);
    if (!port.usb_interface.empty()) keys.push_back(port.location + ":" + port.usb_interface);
  }
  if (!port.location_path.empty()) keys.push_back(port.location_path);
  return keys;
}

bool IsAt(const PortDetails& port, std::string_view place) {
  const auto keys = PlaceKeys(port);
  return std::any_of(keys.begin(), keys.end(),
                     [&](const std::string& key) { return SameText(key, place); });
}

}  // namespace

std::optional<std::string> FindPortAtPlace(const std::vector<PortDetails>& ports,
                                           std::string_view place) {
  if (place.empty()) return std::nullopt;
  std::vector<const PortDetails*> found;
  for (const PortDetails& port : ports) {
    if (IsAt(port, place)) found.push_back(&port);
  }
  if (found.empty()) return std::nullopt;
  if (found.size() == 1) return found.front()->device;
  std::string devices;
  std::string places;
  for (const PortDetails* port : found) {
    devices += (devices.empty() ? "" : ", ") + port->device;
    if (!port->place.empty()) places += (places.empty() ? "" : ", ") + port->place;
  }
  std::string message = std::string(kUsbPathPrefix) + std::string(place) + " holds " +
                        std::to_string(found.size()) + " serial ports (" + devices + ")";
  message +=
      places.empty() ? ": name the port by its device instead" : ": name one of them as " + places;
  throw AmbiguousPortPlace(message);
}

void AssignPlaces(std::vector<PortDetails>& ports) {
  for (PortDetails& port : ports) {
    port.place.clear();
    for (const std::string& key : PlaceKeys(port)) {
      const auto holders = std::count_if(
          ports.begin(), ports.end(), [&](const PortDetails& other) { return IsAt(other, key); });
      if (holders == 1) {
        port.place = std::string(kUsbPathPrefix) + key;
        break;
      }
    }
  }
}

}  // namespace platform
