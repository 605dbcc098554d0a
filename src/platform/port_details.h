#pragma once
// What the system knows about each serial port: its names, the USB adapter
// behind it and the physical place (the USB socket) that adapter sits in.
// Identical adapters share one by-id name; their socket tells them apart, so
// a production station binds its slots to sockets.
#include <filesystem>
#include <string>
#include <vector>

namespace platform {

struct PortDetails {
  // The device node: "/dev/ttyUSB0", "COM3"; for a virtual port its entry in
  // the virtual-port directory.
  std::string device;
  std::string virtual_name;  // a virtual port's own name ("sim0"); empty otherwise
  // For display: "FTDI FT232R USB UART (ttyUSB0)" on Linux, the system's
  // friendly name ("USB Serial Port (COM3)") on Windows, else the device.
  std::string description;
  std::string by_id;    // Linux: its /dev/serial/by-id link, if any
  std::string by_path;  // Linux: its /dev/serial/by-path link, if any
  // The USB adapter: four lower-case hex digits each ("0403", "6001").
  std::string vendor_id;
  std::string product_id;
  // Linux: the adapter's own strings. Windows: the manufacturer its driver
  // names (as the Device Manager shows it), the product the adapter reports.
  std::string manufacturer;
  std::string product;
  std::string serial_number;
  // Linux: the USB port path ("1-1.2"): bus, then the port on each hub.
  // Windows: the location information ("Port_#0004.Hub_#0006").
  std::string location;
  // Linux: the USB interface the port belongs to ("1.0", configuration and
  // interface), which tells the ports of one multi-port adapter apart.
  std::string usb_interface;
  // Windows: the location path
  // ("PCIROOT(0)#PCI(1400)#USBROOT(0)#USB(2)#USB(4)").
  std::string location_path;
  // The port spelling that names this port by its place and no other port
  // ("usb-path:1-1.2", "usb-path:1-1.2:1.1" for one port of a multi-port
  // adapter); empty when it has no place of its own.
  std::string place;

  // "0403:6001", or empty without USB ids.
  std::string UsbId() const {
    return vendor_id.empty() || product_id.empty() ? std::string() : vendor_id + ":" + product_id;
  }
};

// Every serial port in the order of ListSerialPorts (the machine's ports in
// natural order, then the virtual ports). What the system does not say stays
// empty; nothing here fails: a system that reveals no USB details gives the
// ports with empty fields.
std::vector<PortDetails> ReadPortDetails();

// Linux: the same over another sysfs and /dev root (tests use a fake tree).
std::vector<PortDetails> ReadPortDetails(const std::filesystem::path& sys_root,
                                         const std::filesystem::path& dev_root,
                                         bool include_virtual = true);

}  // namespace platform
