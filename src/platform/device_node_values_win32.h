#pragma once
// What the device setup functions say about a COM port's device node and the
// USB nodes above it, and what that means for the port's details. Reading
// the values (port_details_win32.cpp) is kept apart from reading their
// meaning (here), so the meaning is tested on values recorded from real
// adapters.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/port_details.h"

namespace platform {

struct DeviceNodeValues {
  // "USB\VID_0403&PID_6001\A50285BI", "FTDIBUS\VID_0403+PID_6001+A50285BIA\0000"
  std::string instance_id;
  // "USB\VID_0403&PID_6001&REV_0600", "USB\VID_0403&PID_6001", ...
  std::vector<std::string> hardware_ids;
  std::string location_information;         // "Port_#0004.Hub_#0006"
  std::vector<std::string> location_paths;  // "PCIROOT(0)#PCI(1400)#USBROOT(0)#USB(2)#USB(4)"
  std::string bus_reported_description;     // the product string the adapter reports
  std::string description;                  // the driver's description of the device
  std::string manufacturer;                 // the driver's manufacturer
  std::string friendly_name;                // "USB Serial Port (COM3)"
};

struct UsbIds {
  std::string vendor_id;   // four lower-case hex digits
  std::string product_id;  // four lower-case hex digits
};

// The VID_ and PID_ of a hardware or instance ID, whatever joins them
// ("USB\VID_0403&PID_6001&REV_0600", "FTDIBUS\COMPORT&VID_0403&PID_6001",
// "FTDIBUS\VID_0403+PID_6001+A50285BIA\0000").
std::optional<UsbIds> ParseUsbIds(std::string_view device_id);

// The adapter's serial number as an instance ID carries it: the last part of
// a USB device's ("USB\VID_0403&PID_6001\A50285BI"), or FTDI's, without the
// letter of the channel its driver adds ("FTDIBUS\VID_0403+PID_6001+A50285BIA\0000").
// Empty when the system made the ID up ("USB\VID_...&MI_00\6&2C3D4E5F&0&0000").
std::string SerialNumberOf(std::string_view instance_id);

// A location of the form "Port_#0004.Hub_#0006": the socket of a USB hub.
bool IsHubPortLocation(std::string_view location);

// True when the node of `instance_id` is a whole USB device (not one of its
// interfaces, not a node its driver added): the values end there.
bool IsUsbDeviceNode(std::string_view instance_id);

// Whether the values of the node above belong to the port too: while the
// nodes so far end below a USB device and that node is a USB node.
bool ParentDescribesPort(std::string_view last_instance_id, std::string_view parent_instance_id);

// Fills the description and the USB fields of `port` from `chain`: the
// port's own node first, then the nodes above it.
void DescribePort(const std::vector<DeviceNodeValues>& chain, PortDetails& port);

// The strings of a REG_MULTI_SZ value, as UTF-8.
std::vector<std::string> SplitMultiString(std::wstring_view value);

}  // namespace platform
