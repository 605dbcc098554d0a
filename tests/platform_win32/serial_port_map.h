#pragma once
// The system's serial-port map, written by a test as port drivers write it.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

namespace testsupport {

// Values added to the system's serial-port map the way port drivers add them,
// removed again at the end. Writing there needs administrator rights on
// Windows; under Wine any program may.
class SerialPortMap {
 public:
  SerialPortMap() {
    status_ = ::RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, nullptr,
                                REG_OPTION_VOLATILE, KEY_SET_VALUE, nullptr, &key_, nullptr);
  }
  ~SerialPortMap() {
    for (const std::wstring& name : added_) ::RegDeleteValueW(key_, name.c_str());
    if (status_ == ERROR_SUCCESS) ::RegCloseKey(key_);
  }
  SerialPortMap(const SerialPortMap&) = delete;
  SerialPortMap& operator=(const SerialPortMap&) = delete;

  bool writable() const { return status_ == ERROR_SUCCESS; }

  void Add(const std::wstring& name, DWORD type, const std::wstring& data) {
    const auto bytes = static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t));
    ASSERT_EQ(::RegSetValueExW(key_, name.c_str(), 0, type,
                               reinterpret_cast<const BYTE*>(data.c_str()), bytes),
              ERROR_SUCCESS);
    added_.push_back(name);
  }
  void Remove(const std::wstring& name) {
    ASSERT_EQ(::RegDeleteValueW(key_, name.c_str()), ERROR_SUCCESS);
    std::erase(added_, name);
  }

 private:
  HKEY key_ = nullptr;
  LONG status_ = ERROR_SUCCESS;
  std::vector<std::wstring> added_;
};

}  // namespace testsupport
