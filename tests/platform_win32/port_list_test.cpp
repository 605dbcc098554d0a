#include "platform/port_list.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/natural_order.h"

namespace platform {
namespace {

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

std::vector<std::string> Devices() {
  std::vector<std::string> devices;
  for (const PortEntry& port : ListSerialPorts()) devices.push_back(port.device);
  return devices;
}

long Count(const std::vector<std::string>& devices, const std::string& name) {
  return std::count(devices.begin(), devices.end(), name);
}

TEST(PortListWin32, MappedPortsInNaturalOrderEachOnce) {
  SerialPortMap map;
  if (!map.writable()) GTEST_SKIP() << "the serial-port map is not writable here";
  map.Add(L"\\Device\\QuarnelTest10", REG_SZ, L"COM310");
  map.Add(L"\\Device\\QuarnelTest2", REG_SZ, L"COM302");
  map.Add(L"\\Device\\QuarnelTest2b", REG_SZ, L"COM302");  // a second driver entry, one port
  map.Add(L"\\Device\\QuarnelTest33", REG_SZ, L"COM333");
  map.Add(L"\\Device\\QuarnelTestEmpty", REG_SZ, std::wstring());
  map.Add(L"\\Device\\QuarnelTestBinary", REG_BINARY, L"COM377");  // not a name

  const std::vector<PortEntry> ports = ListSerialPorts();
  std::vector<std::string> devices;
  for (const PortEntry& port : ports) {
    devices.push_back(port.device);
    EXPECT_FALSE(port.device.empty());
    if (port.device.starts_with("COM3")) {
      EXPECT_EQ(port.description, port.device);
    }
  }
  EXPECT_TRUE(std::is_sorted(devices.begin(), devices.end(), NaturalLess));
  EXPECT_EQ(Count(devices, "COM302"), 1);
  EXPECT_EQ(Count(devices, "COM310"), 1);
  EXPECT_EQ(Count(devices, "COM333"), 1);
  EXPECT_EQ(Count(devices, "COM377"), 0);
  const auto at = [&](const char* name) { return std::find(devices.begin(), devices.end(), name); };
  EXPECT_LT(at("COM302"), at("COM310"));
  EXPECT_LT(at("COM310"), at("COM333"));
}

TEST(PortListWin32, APortLeavesTheListWhenItsDriverEntryGoes) {
  SerialPortMap map;
  if (!map.writable()) GTEST_SKIP() << "the serial-port map is not writable here";
  map.Add(L"\\Device\\QuarnelTestGone", REG_SZ, L"COM350");
  EXPECT_EQ(Count(Devices(), "COM350"), 1);
  map.Remove(L"\\Device\\QuarnelTestGone");
  EXPECT_EQ(Count(Devices(), "COM350"), 0);
}

}  // namespace
}  // namespace platform
