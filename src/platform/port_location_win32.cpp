#include <windows.h>

#include <algorithm>
#include <cctype>

#include "platform/port_location.h"
#include "platform/serial_port_map_win32.h"
#include "platform/wide_text_win32.h"

namespace platform {
namespace {

constexpr std::string_view kDeviceNamespace = "\\\\.\\";

// "\\.\com3", "COM3:" -> "COM3" as the user wrote it, without the
// namespace prefix and the colon of the old form.
std::string BareName(std::string name) {
  if (name.starts_with(kDeviceNamespace)) name.erase(0, kDeviceNamespace.size());
  if (!name.empty() && name.back() == ':') name.pop_back();
  return name;
}

std::string Upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

// True while the system has a device of that name: a port in the serial-port
// map, or any name in the device namespace (a port mapped otherwise, as Wine
// maps its links).
bool DeviceExists(const std::string& name) {
  const auto mapped = MappedPortNames();
  if (std::any_of(mapped.begin(), mapped.end(),
                  [&](const std::string& port) { return Upper(port) == Upper(name); })) {
    return true;
  }
  wchar_t target[MAX_PATH] = {};
  return ::QueryDosDeviceW(WideFromUtf8(name).c_str(), target, MAX_PATH) != 0 ||
         ::GetLastError() == ERROR_INSUFFICIENT_BUFFER;
}

}  // namespace

std::optional<std::string> ResolvePort(const std::string& spelling) {
  if (spelling.starts_with(kUsbPathPrefix)) {
    return FindPortAtPlace(ReadPortDetails(),
                           std::string_view(spelling).substr(kUsbPathPrefix.size()));
  }
  const std::string name = BareName(spelling);
  if (name.empty()) return std::nullopt;
  // A path names a file or a device the open will judge.
  if (name.find_first_of("\\/:") != std::string::npos) return spelling;
  if (!DeviceExists(name)) return std::nullopt;
  return spelling;
}

std::string DeviceIdentity(const std::string& device) {
  return Upper(BareName(device));
}

}  // namespace platform
