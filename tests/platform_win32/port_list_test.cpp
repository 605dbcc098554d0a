#include "platform/port_list.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/natural_order.h"
#include "serial_port_map.h"

namespace platform {
namespace {

using testsupport::SerialPortMap;

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
