#include "app/cli/port_listing.h"

#include <algorithm>
#include <iostream>
#include <nlohmann/json.hpp>
#include <string_view>

#include "station/exit_status.h"
#include "station/json_text.h"

namespace quarnel::cli {
namespace {

struct Field {
  const char* label;  // in the text
  const char* key;    // in JSON
  std::string value;
};

// Everything but the device, in the order the text shows it.
std::vector<Field> FieldsOf(const platform::PortDetails& port) {
  return {
      {"virtual port", "virtual_port", port.virtual_name},
      {"description", "description", port.description},
      {"by-id", "by_id", port.by_id},
      {"by-path", "by_path", port.by_path},
      {"USB id", "usb_id", port.UsbId()},
      {"manufacturer", "manufacturer", port.manufacturer},
      {"product", "product", port.product},
      {"serial number", "serial_number", port.serial_number},
      {"location", "location", port.location},
      {"USB interface", "usb_interface", port.usb_interface},
      {"location path", "location_path", port.location_path},
      {"place", "place", port.place},
  };
}

}  // namespace

std::string PortDetailsText(const std::vector<platform::PortDetails>& ports) {
  constexpr size_t kLabelWidth = 16;
  std::string text;
  for (const platform::PortDetails& port : ports) {
    if (!text.empty()) text += '\n';
    text += port.device + '\n';
    const std::string last_part = port.device.substr(port.device.find_last_of("/\\") + 1);
    for (const Field& field : FieldsOf(port)) {
      // A description that only repeats the device's name ("ttyS0") says nothing.
      if (field.value.empty() || (field.key == std::string_view("description") &&
                                  (field.value == last_part || field.value == port.device))) {
        continue;
      }
      std::string label = std::string(field.label) + ':';
      label.resize(std::max(label.size() + 1, kLabelWidth), ' ');
      text += "  " + label + field.value + '\n';
    }
  }
  return text;
}

std::string PortDetailsJson(const std::vector<platform::PortDetails>& ports) {
  std::string lines;
  for (const platform::PortDetails& port : ports) {
    nlohmann::json object = {{"device", port.device}};
    for (const Field& field : FieldsOf(port)) {
      object[field.key] =
          field.value.empty() ? nlohmann::json(nullptr) : nlohmann::json(field.value);
    }
    lines += station::JsonLine(object) + '\n';
  }
  return lines;
}

int ListPortDetails(bool json) {
  const auto ports = platform::ReadPortDetails();
  std::cout << (json ? PortDetailsJson(ports) : PortDetailsText(ports)) << std::flush;
  return kExitOk;
}

}  // namespace quarnel::cli
