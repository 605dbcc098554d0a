// What the device setup functions say about real adapters' COM ports, as
// they say it, and the details made of it.
#include <gtest/gtest.h>

#include "platform/device_node_values_win32.h"

namespace platform {
namespace {

// An FT232R: the COM port is a node of FTDI's bus driver below the USB device.
std::vector<DeviceNodeValues> Ft232r() {
  DeviceNodeValues port;
  port.instance_id = "FTDIBUS\\VID_0403+PID_6001+A50285BIA\\0000";
  port.hardware_ids = {"FTDIBUS\\COMPORT&VID_0403&PID_6001"};
  port.description = "USB Serial Port";
  port.manufacturer = "FTDI";
  port.friendly_name = "USB Serial Port (COM3)";
  DeviceNodeValues usb;
  usb.instance_id = "USB\\VID_0403&PID_6001\\A50285BI";
  usb.hardware_ids = {"USB\\VID_0403&PID_6001&REV_0600", "USB\\VID_0403&PID_6001"};
  usb.location_information = "Port_#0004.Hub_#0006";
  usb.location_paths = {"PCIROOT(0)#PCI(1400)#USBROOT(0)#USB(2)#USB(4)",
                        "ACPI(_SB_)#ACPI(PCI0)#ACPI(XHC_)#ACPI(RHUB)#ACPI(HS02)#USB(4)"};
  usb.bus_reported_description = "FT232R USB UART";
  usb.description = "USB Serial Converter";
  usb.manufacturer = "FTDI";
  return {port, usb};
}

// A CP2102: the COM port is the USB device's own node.
std::vector<DeviceNodeValues> Cp2102() {
  DeviceNodeValues usb;
  usb.instance_id = "USB\\VID_10C4&PID_EA60\\0001";
  usb.hardware_ids = {"USB\\VID_10C4&PID_EA60&REV_0100", "USB\\VID_10C4&PID_EA60"};
  usb.location_information = "Port_#0002.Hub_#0001";
  usb.location_paths = {"PCIROOT(0)#PCI(1400)#USBROOT(0)#USB(2)"};
  usb.bus_reported_description = "CP2102 USB to UART Bridge Controller";
  usb.description = "Silicon Labs CP210x USB to UART Bridge";
  usb.manufacturer = "Silicon Labs";
  usb.friendly_name = "Silicon Labs CP210x USB to UART Bridge (COM4)";
  return {usb};
}

// A CDC ACM function of a composite device without a serial number: the COM
// port is an interface node; Windows made up both instance IDs' last parts.
std::vector<DeviceNodeValues> CompositeCdc() {
  DeviceNodeValues function;
  function.instance_id = "USB\\VID_04D8&PID_000A&MI_00\\6&1A2B3C4D&0&0000";
  function.hardware_ids = {"USB\\VID_04D8&PID_000A&REV_0100&MI_00", "USB\\VID_04D8&PID_000A&MI_00"};
  function.location_information = "0000.0014.0000.002.003.000.000.000.000";
  function.location_paths = {"PCIROOT(0)#PCI(1400)#USBROOT(0)#USB(2)#USB(3)#USBMI(0)"};
  function.description = "USB Serial Device";
  function.manufacturer = "Microsoft";
  function.friendly_name = "USB Serial Device (COM5)";
  DeviceNodeValues usb;
  usb.instance_id = "USB\\VID_04D8&PID_000A\\5&2F3E4D5C&0&3";
  usb.hardware_ids = {"USB\\VID_04D8&PID_000A&REV_0100", "USB\\VID_04D8&PID_000A"};
  usb.location_information = "Port_#0003.Hub_#0002";
  usb.location_paths = {"PCIROOT(0)#PCI(1400)#USBROOT(0)#USB(2)#USB(3)"};
  usb.bus_reported_description = "CDC RS-232 Emulation Demo";
  usb.description = "USB Composite Device";
  return {function, usb};
}

// Channel B of an FT2232H: FTDI's node below an interface of the device.
std::vector<DeviceNodeValues> Ft2232ChannelB() {
  DeviceNodeValues port;
  port.instance_id = "FTDIBUS\\VID_0403+PID_6010+FT1ABCDEB\\0000";
  port.hardware_ids = {"FTDIBUS\\COMPORT&VID_0403&PID_6010"};
  port.friendly_name = "USB Serial Port (COM8)";
  DeviceNodeValues function;
  function.instance_id = "USB\\VID_0403&PID_6010&MI_01\\6&3B2A1C0D&0&0001";
  function.hardware_ids = {"USB\\VID_0403&PID_6010&REV_0700&MI_01", "USB\\VID_0403&PID_6010&MI_01"};
  function.location_information = "0000.0014.0000.002.002.000.000.000.000";
  function.location_paths = {"PCIROOT(0)#PCI(1400)#USBROOT(0)#USB(2)#USB(2)#USBMI(1)"};
  DeviceNodeValues usb;
  usb.instance_id = "USB\\VID_0403&PID_6010\\FT1ABCDE";
  usb.location_information = "Port_#0002.Hub_#0006";
  usb.location_paths = {"PCIROOT(0)#PCI(1400)#USBROOT(0)#USB(2)#USB(2)"};
  usb.bus_reported_description = "Dual RS232-HS";
  return {port, function, usb};
}

PortDetails Described(const std::string& com, const std::vector<DeviceNodeValues>& chain) {
  PortDetails port;
  port.device = com;
  port.description = com;
  DescribePort(chain, port);
  return port;
}

TEST(DeviceNodeValues, AnFtdiPortIsDescribedByTheUsbDeviceAboveIt) {
  const PortDetails port = Described("COM3", Ft232r());
  EXPECT_EQ(port.UsbId(), "0403:6001");
  EXPECT_EQ(port.serial_number, "A50285BI");
  EXPECT_EQ(port.manufacturer, "FTDI");
  EXPECT_EQ(port.product, "FT232R USB UART");
  EXPECT_EQ(port.location, "Port_#0004.Hub_#0006");
  EXPECT_EQ(port.location_path, "PCIROOT(0)#PCI(1400)#USBROOT(0)#USB(2)#USB(4)");
  EXPECT_EQ(port.description, "USB Serial Port (COM3)");
}

TEST(DeviceNodeValues, AUsbDevicesOwnPortIsDescribedByItself) {
  const PortDetails port = Described("COM4", Cp2102());
  EXPECT_EQ(port.UsbId(), "10c4:ea60") << "hex in lower case, as on Linux";
  EXPECT_EQ(port.serial_number, "0001");
  EXPECT_EQ(port.product, "CP2102 USB to UART Bridge Controller");
  EXPECT_EQ(port.manufacturer, "Silicon Labs");
  EXPECT_EQ(port.location, "Port_#0002.Hub_#0001");
  EXPECT_EQ(port.location_path, "PCIROOT(0)#PCI(1400)#USBROOT(0)#USB(2)");
}

TEST(DeviceNodeValues, AnInterfaceGetsTheHubSocketAndItsOwnLocationPathButNoMadeUpSerial) {
  const PortDetails port = Described("COM5", CompositeCdc());
  EXPECT_EQ(port.UsbId(), "04d8:000a");
  EXPECT_EQ(port.serial_number, "");
  EXPECT_EQ(port.product, "CDC RS-232 Emulation Demo");
  EXPECT_EQ(port.location, "Port_#0003.Hub_#0002");
  EXPECT_EQ(port.location_path, "PCIROOT(0)#PCI(1400)#USBROOT(0)#USB(2)#USB(3)#USBMI(0)");
}

TEST(DeviceNodeValues, AChannelOfAMultiPortAdapterHasTheDevicesSerialAndItsInterfacesPath) {
  const PortDetails port = Described("COM8", Ft2232ChannelB());
  EXPECT_EQ(port.UsbId(), "0403:6010");
  EXPECT_EQ(port.serial_number, "FT1ABCDE");
  EXPECT_EQ(port.location, "Port_#0002.Hub_#0006");
  EXPECT_EQ(port.location_path, "PCIROOT(0)#PCI(1400)#USBROOT(0)#USB(2)#USB(2)#USBMI(1)");
}

TEST(DeviceNodeValues, ABuiltInPortHasNoUsbDetails) {
  DeviceNodeValues com1;
  com1.instance_id = "ACPI\\PNP0501\\0";
  com1.hardware_ids = {"ACPI\\PNP0501", "*PNP0501"};
  com1.location_paths = {"ACPI(_SB_)#ACPI(PCI0)#ACPI(LPCB)#ACPI(UAR1)"};
  com1.description = "Communications Port";
  com1.manufacturer = "(Standard port types)";
  com1.friendly_name = "Communications Port (COM1)";
  const PortDetails port = Described("COM1", {com1});
  EXPECT_EQ(port.UsbId(), "");
  EXPECT_EQ(port.serial_number, "");
  EXPECT_EQ(port.product, "Communications Port");
  EXPECT_EQ(port.location, "");
  EXPECT_EQ(port.location_path, "ACPI(_SB_)#ACPI(PCI0)#ACPI(LPCB)#ACPI(UAR1)");
  EXPECT_EQ(port.description, "Communications Port (COM1)");

  const PortDetails bare = Described("COM9", {});
  EXPECT_EQ(bare.description, "COM9") << "a port without setup entries keeps its name";
}

TEST(DeviceNodeValues, OnlyUsbNodesAboveAPortBelongToIt) {
  EXPECT_TRUE(ParentDescribesPort("FTDIBUS\\VID_0403+PID_6001+A50285BIA\\0000",
                                  "USB\\VID_0403&PID_6001\\A50285BI"));
  EXPECT_TRUE(ParentDescribesPort("USB\\VID_04D8&PID_000A&MI_00\\6&1A2B3C4D&0&0000",
                                  "USB\\VID_04D8&PID_000A\\5&2F3E4D5C&0&3"));
  // Above the USB device: its hub.
  EXPECT_FALSE(ParentDescribesPort("USB\\VID_0403&PID_6001\\A50285BI",
                                   "USB\\VID_0424&PID_2514\\5&1234ABCD&0&6"));
  EXPECT_FALSE(ParentDescribesPort("ACPI\\PNP0501\\0", "ACPI\\PNP0A08\\0"));
  EXPECT_FALSE(ParentDescribesPort("FTDIBUS\\VID_0403+PID_6001+A50285BIA\\0000",
                                   "PCI\\VEN_8086&DEV_A36D\\3&11583659&0&A0"));
}

TEST(DeviceNodeValues, IdsInTheirSpellings) {
  const auto usb = ParseUsbIds("usb\\vid_0403&pid_6001&rev_0600");
  ASSERT_TRUE(usb.has_value());
  EXPECT_EQ(usb->vendor_id, "0403");
  EXPECT_EQ(usb->product_id, "6001");
  const auto ftdi = ParseUsbIds("FTDIBUS\\VID_0403+PID_6015+DK0AB12CA\\0000");
  ASSERT_TRUE(ftdi.has_value());
  EXPECT_EQ(ftdi->product_id, "6015");
  EXPECT_FALSE(ParseUsbIds("USB\\ROOT_HUB30\\4&2A3B4C5D&0&0").has_value());
  EXPECT_FALSE(ParseUsbIds("USB\\VID_0403&PID_60").has_value()) << "four digits each";
  EXPECT_FALSE(ParseUsbIds("USB\\VID_0403&PID_600123").has_value());
  EXPECT_FALSE(ParseUsbIds("ACPI\\PNP0501\\0").has_value());

  EXPECT_EQ(SerialNumberOf("USB\\VID_10C4&PID_EA60\\0001"), "0001");
  EXPECT_EQ(SerialNumberOf("FTDIBUS\\VID_0403+PID_6001+A50285BIA\\0000"), "A50285BI");
  EXPECT_EQ(SerialNumberOf("USB\\VID_04D8&PID_000A\\5&2F3E4D5C&0&3"), "");
  EXPECT_EQ(SerialNumberOf("USB\\VID_04D8&PID_000A&MI_00\\6&1A2B3C4D&0&0000"), "");
  EXPECT_EQ(SerialNumberOf("ACPI\\PNP0501\\0"), "");

  EXPECT_TRUE(IsHubPortLocation("Port_#0004.Hub_#0006"));
  EXPECT_TRUE(IsHubPortLocation("PORT_#0012.HUB_#0003"));
  EXPECT_FALSE(IsHubPortLocation("0000.0014.0000.002.003.000.000.000.000"));
  EXPECT_FALSE(IsHubPortLocation("Port_#0004.Hub_#0006 "));
}

TEST(DeviceNodeValues, MultiStringValuesSplitAtTheirEnds) {
  const std::wstring two(L"PCIROOT(0)#USB(4)\0ACPI(_SB_)#USB(4)\0\0", 38);
  EXPECT_EQ(SplitMultiString(two),
            (std::vector<std::string>{"PCIROOT(0)#USB(4)", "ACPI(_SB_)#USB(4)"}));
  // Without the ends a careless driver leaves off.
  EXPECT_EQ(SplitMultiString(L"USB\\VID_0403&PID_6001"),
            std::vector<std::string>{"USB\\VID_0403&PID_6001"});
  EXPECT_TRUE(SplitMultiString(std::wstring(L"\0\0", 2)).empty());
}

}  // namespace
}  // namespace platform
