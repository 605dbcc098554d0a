#include "platform/serial_port_map_win32.h"

#include "platform/wide_text_win32.h"

namespace platform {

std::wstring ReadRegistryString(HKEY key, const wchar_t* name) {
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

RegistryKey OpenSerialPortMap(REGSAM access) {
  HKEY opened = nullptr;
  if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, access, &opened) !=
      ERROR_SUCCESS) {
    return RegistryKey();
  }
  return RegistryKey(opened);
}

std::vector<std::string> MappedPortNames() {
  const RegistryKey key = OpenSerialPortMap(KEY_QUERY_VALUE);
  if (!key.valid()) return {};
  std::vector<std::string> names;
  std::wstring value_name(16384, L'\0');  // the longest name a value may have, and its end
  for (DWORD index = 0;; ++index) {
    DWORD length = static_cast<DWORD>(value_name.size());
    DWORD type = 0;
    const LONG result = ::RegEnumValueW(key.get(), index, value_name.data(), &length, nullptr,
                                        &type, nullptr, nullptr);
    if (result == ERROR_NO_MORE_ITEMS) break;
    if (result != ERROR_SUCCESS || type != REG_SZ) continue;
    const std::wstring port = ReadRegistryString(key.get(), value_name.c_str());
    if (!port.empty()) names.push_back(Utf8FromWide(port));
  }
  return names;
}

}  // namespace platform
