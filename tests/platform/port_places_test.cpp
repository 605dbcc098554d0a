// How ports are named by their place, on the details both systems give.
#include <gtest/gtest.h>

#include "platform/port_location.h"

namespace platform {
namespace {

PortDetails WindowsPort(const std::string& com, const std::string& location,
                        const std::string& location_path) {
  PortDetails port;
  port.device = com;
  port.location = location;
  port.location_path = location_path;
  return port;
}

// Two adapters on one hub, one of them with two ports (two COM ports behind
// one socket, told apart by their location paths), and a built-in port.
std::vector<PortDetails> WindowsPorts() {
  std::vector<PortDetails> ports = {
      WindowsPort("COM1", "", "ACPI(_SB_)#ACPI(PCI0)#ACPI(LPCB)#ACPI(UAR1)"),
      WindowsPort("COM3", "Port_#0004.Hub_#0006", "PCIROOT(0)#PCI(1400)#USBROOT(0)#USB(2)#USB(4)"),
      WindowsPort("COM7", "Port_#0002.Hub_#0006",
                  "PCIROOT(0)#PCI(1400)#USBROOT(0)#USB(2)#USB(2)#USBMI(0)"),
      WindowsPort("COM8", "Port_#0002.Hub_#0006",
                  "PCIROOT(0)#PCI(1400)#USBROOT(0)#USB(2)#USB(2)#USBMI(1)"),
      WindowsPort("COM9", "", ""),
  };
  AssignPlaces(ports);
  return ports;
}

TEST(PortPlaces, EachPortGetsTheCoarsestPlaceThatIsItsAlone) {
  const auto ports = WindowsPorts();
  EXPECT_EQ(ports[0].place, "usb-path:ACPI(_SB_)#ACPI(PCI0)#ACPI(LPCB)#ACPI(UAR1)");
  EXPECT_EQ(ports[1].place, "usb-path:Port_#0004.Hub_#0006");
  EXPECT_EQ(ports[2].place, "usb-path:PCIROOT(0)#PCI(1400)#USBROOT(0)#USB(2)#USB(2)#USBMI(0)");
  EXPECT_EQ(ports[3].place, "usb-path:PCIROOT(0)#PCI(1400)#USBROOT(0)#USB(2)#USB(2)#USBMI(1)");
  EXPECT_EQ(ports[4].place, "") << "a port without a place has none";
}

TEST(PortPlaces, APlaceFindsItsPortInAnyLetterCase) {
  const auto ports = WindowsPorts();
  EXPECT_EQ(FindPortAtPlace(ports, "Port_#0004.Hub_#0006"), "COM3");
  EXPECT_EQ(FindPortAtPlace(ports, "port_#0004.hub_#0006"), "COM3");
  EXPECT_EQ(FindPortAtPlace(ports, "PCIROOT(0)#PCI(1400)#USBROOT(0)#USB(2)#USB(4)"), "COM3");
  EXPECT_EQ(FindPortAtPlace(ports, "pciroot(0)#pci(1400)#usbroot(0)#usb(2)#usb(2)#usbmi(1)"),
            "COM8");
  EXPECT_EQ(FindPortAtPlace(ports, "Port_#0005.Hub_#0006"), std::nullopt);
  EXPECT_EQ(FindPortAtPlace(ports, ""), std::nullopt) << "no place is no port's place";
}

TEST(PortPlaces, ASharedPlaceIsRefusedWithTheSpellingsOfItsPorts) {
  const auto ports = WindowsPorts();
  try {
    FindPortAtPlace(ports, "Port_#0002.Hub_#0006");
    FAIL() << "a socket with two ports gave one of them";
  } catch (const AmbiguousPortPlace& error) {
    const std::string message = error.what();
    EXPECT_NE(message.find("COM7"), std::string::npos) << message;
    EXPECT_NE(message.find("COM8"), std::string::npos) << message;
    EXPECT_NE(message.find(ports[2].place), std::string::npos) << message;
    EXPECT_NE(message.find(ports[3].place), std::string::npos) << message;
  }
}

}  // namespace
}  // namespace platform
