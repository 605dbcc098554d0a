// Port details and spellings under what the system shows. Wine shows the
// ports of the serial-port map but no device setup entries for them: the
// ports come with their names and empty details.
#include "platform/port_details.h"

#include <gtest/gtest.h>

#include "platform/port_location.h"
#include "serial_port_map.h"

namespace platform {
namespace {

using testsupport::SerialPortMap;

const PortDetails* Find(const std::vector<PortDetails>& ports, const std::string& device) {
  for (const PortDetails& port : ports) {
    if (port.device == device) return &port;
  }
  return nullptr;
}

TEST(PortDetailsWin32, MappedPortsAreListedWithWhatTheSystemKnows) {
  SerialPortMap map;
  if (!map.writable()) GTEST_SKIP() << "the serial-port map is not writable here";
  map.Add(L"\\Device\\QuarnelTestDetails", REG_SZ, L"COM361");
  const auto ports = ReadPortDetails();
  const PortDetails* port = Find(ports, "COM361");
  ASSERT_NE(port, nullptr);
  EXPECT_FALSE(port->description.empty());
  // Without setup entries (a port driver of its own, or Wine) nothing
  // places the port, so no place spelling can reach it.
  if (port->location.empty() && port->location_path.empty()) {
    EXPECT_EQ(port->place, "");
  } else {
    EXPECT_EQ(ResolvePort(port->place), "COM361");
  }
}

TEST(PortDetailsWin32, AComPortIsThereWhileTheSystemHasIt) {
  SerialPortMap map;
  if (!map.writable()) GTEST_SKIP() << "the serial-port map is not writable here";
  EXPECT_EQ(ResolvePort("COM362"), std::nullopt);
  map.Add(L"\\Device\\QuarnelTestPresent", REG_SZ, L"COM362");
  EXPECT_EQ(ResolvePort("COM362"), "COM362");
  EXPECT_EQ(ResolvePort("\\\\.\\com362"), "\\\\.\\com362") << "spelt as given";
  map.Remove(L"\\Device\\QuarnelTestPresent");
  EXPECT_EQ(ResolvePort("COM362"), std::nullopt);
  EXPECT_EQ(ResolvePort("usb-path:Port_#0001.Hub_#0099"), std::nullopt);
}

TEST(PortDetailsWin32, OneComPortHasOneIdentityInEverySpelling) {
  EXPECT_EQ(DeviceIdentity("COM3"), "COM3");
  EXPECT_EQ(DeviceIdentity("com3"), "COM3");
  EXPECT_EQ(DeviceIdentity("\\\\.\\Com3"), "COM3");
  EXPECT_EQ(DeviceIdentity("COM3:"), "COM3");
  EXPECT_NE(DeviceIdentity("COM3"), DeviceIdentity("COM31"));
}

}  // namespace
}  // namespace platform
