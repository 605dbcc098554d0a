#include <windows.h>

#include <cwchar>

#include "platform/user_setting.h"
#include "platform/wide_text_win32.h"

namespace platform {
namespace {

std::wstring KeyPath(const std::string& program) {
  return L"Software\\quarnel\\" + WideFromUtf8(program);
}

}  // namespace

std::optional<std::string> ReadUserSetting(const std::string& program, const std::string& name) {
  const std::wstring key = KeyPath(program);
  const std::wstring value_name = WideFromUtf8(name);
  DWORD bytes = 0;
  if (::RegGetValueW(HKEY_CURRENT_USER, key.c_str(), value_name.c_str(), RRF_RT_REG_SZ, nullptr,
                     nullptr, &bytes) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  std::wstring text(bytes / sizeof(wchar_t) + 1, L'\0');
  bytes = static_cast<DWORD>(text.size() * sizeof(wchar_t));
  if (::RegGetValueW(HKEY_CURRENT_USER, key.c_str(), value_name.c_str(), RRF_RT_REG_SZ, nullptr,
                     text.data(), &bytes) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  text.resize(wcsnlen(text.c_str(), text.size()));
  return Utf8FromWide(text);
}

bool WriteUserSetting(const std::string& program, const std::string& name,
                      const std::string& value) {
  HKEY key = nullptr;
  if (::RegCreateKeyExW(HKEY_CURRENT_USER, KeyPath(program).c_str(), 0, nullptr,
                        REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr, &key,
                        nullptr) != ERROR_SUCCESS) {
    return false;
  }
  const std::wstring text = WideFromUtf8(value);
  const LONG result = ::RegSetValueExW(key, WideFromUtf8(name).c_str(), 0, REG_SZ,
                                       reinterpret_cast<const BYTE*>(text.c_str()),
                                       static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
  ::RegCloseKey(key);
  return result == ERROR_SUCCESS;
}

}  // namespace platform
