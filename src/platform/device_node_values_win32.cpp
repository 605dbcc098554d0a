#include "platform/device_node_values_win32.h"

#include <algorithm>
#include <cctype>
#include <regex>

#include "platform/wide_text_win32.h"

namespace platform {
namespace {

std::string Lower(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return lower;
}

bool StartsWithNoCase(std::string_view text, std::string_view start) {
  return text.size() >= start.size() && Lower(text.substr(0, start.size())) == Lower(start);
}

std::vector<std::string_view> Split(std::string_view text, char separator) {
  std::vector<std::string_view> parts;
  for (size_t begin = 0;;) {
    const size_t end = text.find(separator, begin);
    parts.push_back(text.substr(begin, end == std::string_view::npos ? end : end - begin));
    if (end == std::string_view::npos) return parts;
    begin = end + 1;
  }
}

bool IsHexDigit(char c) {
  return std::isxdigit(static_cast<unsigned char>(c)) != 0;
}

// The four hex digits after `key` ("VID_"), where `key` starts a field.
std::string HexField(std::string_view id, std::string_view key) {
  const std::string lower = Lower(id);
  for (size_t at = lower.find(Lower(key)); at != std::string::npos;
       at = lower.find(Lower(key), at + 1)) {
    if (at > 0 && std::string_view("\\&+").find(lower[at - 1]) == std::string_view::npos) continue;
    const std::string digits = lower.substr(at + key.size(), 4);
    const size_t after = at + key.size() + 4;
    if (digits.size() == 4 && std::all_of(digits.begin(), digits.end(), IsHexDigit) &&
        (after == lower.size() || !IsHexDigit(lower[after]))) {
      return digits;
    }
  }
  return {};
}

// A serial number the system made up holds '&' ("6&2C3D4E5F&0&2").
bool IsRealSerial(std::string_view serial) {
  return !serial.empty() && serial.find('&') == std::string_view::npos;
}

std::string UsbSerialNumber(std::string_view instance_id) {
  const auto parts = Split(instance_id, '\\');
  if (parts.size() != 3 || Lower(parts[0]) != "usb" || !IsUsbDeviceNode(instance_id)) return {};
  return IsRealSerial(parts[2]) ? std::string(parts[2]) : std::string();
}

std::string FtdiSerialNumber(std::string_view instance_id) {
  const auto parts = Split(instance_id, '\\');
  if (parts.size() < 2 || Lower(parts[0]) != "ftdibus") return {};
  const auto fields = Split(parts[1], '+');
  if (fields.size() != 3 || !IsRealSerial(fields[2])) return {};
  std::string_view serial = fields[2];
  // The driver appends the channel's letter (A, B, ...) to the serial number.
  if (serial.size() > 1 && std::isupper(static_cast<unsigned char>(serial.back()))) {
    serial.remove_suffix(1);
  }
  return std::string(serial);
}

}  // namespace

std::optional<UsbIds> ParseUsbIds(std::string_view device_id) {
  UsbIds ids{HexField(device_id, "VID_"), HexField(device_id, "PID_")};
  if (ids.vendor_id.empty() || ids.product_id.empty()) return std::nullopt;
  return ids;
}

std::string SerialNumberOf(std::string_view instance_id) {
  std::string serial = UsbSerialNumber(instance_id);
  return serial.empty() ? FtdiSerialNumber(instance_id) : serial;
}

bool IsHubPortLocation(std::string_view location) {
  static const std::regex kHubPort(R"(Port_#[0-9]{4}\.Hub_#[0-9]{4})", std::regex::icase);
  return std::regex_match(location.begin(), location.end(), kHubPort);
}

bool IsUsbDeviceNode(std::string_view instance_id) {
  const auto parts = Split(instance_id, '\\');
  return parts.size() == 3 && Lower(parts[0]) == "usb" && ParseUsbIds(parts[1]).has_value() &&
         Lower(parts[1]).find("&mi_") == std::string::npos;
}

bool ParentDescribesPort(std::string_view last_instance_id, std::string_view parent_instance_id) {
  return !IsUsbDeviceNode(last_instance_id) && StartsWithNoCase(parent_instance_id, "USB\\");
}

void DescribePort(const std::vector<DeviceNodeValues>& chain, PortDetails& port) {
  if (chain.empty()) return;
  const DeviceNodeValues& own = chain.front();
  if (!own.friendly_name.empty()) port.description = own.friendly_name;
  port.manufacturer = own.manufacturer;
  port.product = own.description;
  port.location = own.location_information;
  // The node nearest the port that says a thing says it for the port; the
  // serial number of the USB device itself beats the one FTDI's driver adds.
  bool product_found = false, location_found = false;
  std::string ftdi_serial;
  for (const DeviceNodeValues& node : chain) {
    if (port.vendor_id.empty()) {
      std::vector<std::string> ids = node.hardware_ids;
      ids.push_back(node.instance_id);
      for (const std::string& id : ids) {
        if (const auto usb = ParseUsbIds(id)) {
          port.vendor_id = usb->vendor_id;
          port.product_id = usb->product_id;
          break;
        }
      }
    }
    if (port.serial_number.empty()) port.serial_number = UsbSerialNumber(node.instance_id);
    if (ftdi_serial.empty()) ftdi_serial = FtdiSerialNumber(node.instance_id);
    if (!product_found && !node.bus_reported_description.empty()) {
      port.product = node.bus_reported_description;
      product_found = true;
    }
    if (!location_found && IsHubPortLocation(node.location_information)) {
      port.location = node.location_information;
      location_found = true;
    }
    if (port.location_path.empty() && !node.location_paths.empty()) {
      port.location_path = node.location_paths.front();
    }
  }
  if (port.serial_number.empty()) port.serial_number = ftdi_serial;
}

std::vector<std::string> SplitMultiString(std::wstring_view value) {
  std::vector<std::string> strings;
  while (!value.empty()) {
    const size_t end = value.find(L'\0');
    const std::wstring_view one = value.substr(0, end);
    if (one.empty()) break;  // the empty string that ends the list
    strings.push_back(Utf8FromWide(one));
    if (end == std::wstring_view::npos) break;
    value.remove_prefix(end + 1);
  }
  return strings;
}

}  // namespace platform
