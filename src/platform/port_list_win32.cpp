// clang-format off
#include <windows.h>
#include <setupapi.h>  // needs windows.h first
// clang-format on

#include <algorithm>
#include <map>

#include "platform/natural_order.h"
#include "platform/port_list.h"
#include "platform/wide_text_win32.h"

namespace platform {
namespace {

// The device setup class of serial and parallel ports ("Ports").
constexpr GUID kPortsClass = {
    0x4d36e978, 0xe325, 0x11ce, {0xbf, 0xc1, 0x08, 0x00, 0x2b, 0xe1, 0x03, 0x18}};

class RegistryKey {
 public:
  explicit RegistryKey(HKEY key) : key_(key) {}
  ~RegistryKey() {
    if (key_ != nullptr && key_ != INVALID_HANDLE_VALUE) ::RegCloseKey(key_);
  }
  RegistryKey(const RegistryKey&) = delete;
  RegistryKey& operator=(const RegistryKey&) = delete;
  HKEY get() const { return key_; }
  bool valid() const { return key_ != nullptr && key_ != INVALID_HANDLE_VALUE; }

 private:
  HKEY key_;
};

// A string value of `key`; empty when it is missing or not a string.
std::wstring ReadString(HKEY key, const wchar_t* name) {
  DWORD size = 0;
  if (::RegGetValueW(key, nullptr, name, RRF_RT_REG_SZ, nullptr, nullptr, &size) != ERROR_SUCCESS) {
    return {};
  }
  std::wstring value(size / sizeof(wchar_t) + 1, L'\0');
  size = static_cast<DWORD>(value.size() * sizeof(wchar_t));
  if (::RegGetValueW(key, nullptr, name, RRF_RT_REG_SZ, nullptr, value.data(), &size) !=
      ERROR_SUCCESS) {
    return {};
  }
  value.resize(value.find(L'\0'));
  return value;
}

// The COM names that the serial-port map holds, one per port driver entry.
std::vector<std::string> MappedPortNames() {
  HKEY opened = nullptr;
  if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_QUERY_VALUE,
                      &opened) != ERROR_SUCCESS) {
    return {};
  }
  const RegistryKey key(opened);
  std::vector<std::string> names;
  std::wstring value_name(16384, L'\0');  // the longest name a value may have, and its end
  for (DWORD index = 0;; ++index) {
    DWORD length = static_cast<DWORD>(value_name.size());
    DWORD type = 0;
    const LONG result = ::RegEnumValueW(key.get(), index, value_name.data(), &length, nullptr,
                                        &type, nullptr, nullptr);
    if (result == ERROR_NO_MORE_ITEMS) break;
    if (result != ERROR_SUCCESS || type != REG_SZ) continue;
    const std::wstring port = ReadString(key.get(), value_name.c_str());
    if (!port.empty()) names.push_back(Utf8FromWide(port));
  }
  return names;
}

// "COM3" -> "USB Serial Port (COM3)" for the present port devices that have
// a friendly name; ports of drivers without setup entries have none.
std::map<std::string, std::string> FriendlyNames() {
  std::map<std::string, std::string> names;
  const HDEVINFO devices = ::SetupDiGetClassDevsW(&kPortsClass, nullptr, nullptr, DIGCF_PRESENT);
  if (devices == INVALID_HANDLE_VALUE) return names;
  SP_DEVINFO_DATA device{};
  device.cbSize = sizeof device;
  for (DWORD index = 0; ::SetupDiEnumDeviceInfo(devices, index, &device); ++index) {
    const RegistryKey key(
        ::SetupDiOpenDevRegKey(devices, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ));
    if (!key.valid()) continue;
    const std::wstring port = ReadString(key.get(), L"PortName");
    wchar_t friendly[256] = {};
    DWORD type = 0;
    if (port.empty() ||
        !::SetupDiGetDeviceRegistryPropertyW(devices, &device, SPDRP_FRIENDLYNAME, &type,
                                             reinterpret_cast<BYTE*>(friendly),
                                             sizeof friendly - sizeof(wchar_t), nullptr) ||
        type != REG_SZ) {
      continue;
    }
    names.emplace(Utf8FromWide(port), Utf8FromWide(friendly));
  }
  ::SetupDiDestroyDeviceInfoList(devices);
  return names;
}

}  // namespace

// COM1..COM9 open under their own name; the device layer adds the \\.\ form
// that COM10 and above need, so the list gives the names as the system does.
std::vector<PortEntry> ListSerialPorts() {
  std::vector<std::string> names = MappedPortNames();
  std::sort(names.begin(), names.end(), NaturalLess);
  names.erase(std::unique(names.begin(), names.end()), names.end());
  const auto friendly = FriendlyNames();
  std::vector<PortEntry> ports;
  ports.reserve(names.size());
  for (std::string& name : names) {
    const auto it = friendly.find(name);
    std::string description = it != friendly.end() ? it->second : name;
    ports.push_back({name, std::move(description), name});
  }
  return ports;
}

}  // namespace platform
