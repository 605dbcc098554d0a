#pragma once
// A sysfs and /dev tree in a temporary directory, laid out as the kernel and
// udev lay them out for USB serial adapters: the USB device directory named
// after its port path ("1-1.2"), one interface directory per serial port
// ("1-1.2:1.0"), the tty's device link into it, the device nodes, and the
// by-id and by-path links. Adapters can be plugged and unplugged.
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace testsupport {

struct FakeAdapter {
  std::string vendor_id = "0403";
  std::string product_id = "6001";
  std::string manufacturer = "FTDI";
  std::string product = "FT232R USB UART";
  std::string serial = "A50285BI";
  bool acm = false;  // a CDC ACM device: the tty hangs off the interface itself
};

class FakeSysfs {
 public:
  FakeSysfs() : root_("quarnel-fake-sysfs") {
    std::filesystem::create_directories(sys() / "class" / "tty");
    std::filesystem::create_directories(dev());
  }

  const std::filesystem::path& root() const { return root_.path(); }
  std::filesystem::path sys() const { return root() / "sys"; }
  std::filesystem::path dev() const { return root() / "dev"; }
  std::filesystem::path ById() const { return dev() / "serial" / "by-id"; }
  std::filesystem::path ByPath() const { return dev() / "serial" / "by-path"; }

  // Plugs `adapter` into the USB port `port_path` ("1-1.2"); its serial
  // ports are `ttys`, one per interface from 1.0 up.
  void Plug(const std::string& port_path, const FakeAdapter& adapter,
            const std::vector<std::string>& ttys) {
    namespace fs = std::filesystem;
    const fs::path usb_device = UsbDevice(port_path);
    fs::create_directories(usb_device);
    Write(usb_device / "idVendor", adapter.vendor_id);
    Write(usb_device / "idProduct", adapter.product_id);
    if (!adapter.manufacturer.empty()) Write(usb_device / "manufacturer", adapter.manufacturer);
    if (!adapter.product.empty()) Write(usb_device / "product", adapter.product);
    if (!adapter.serial.empty()) Write(usb_device / "serial", adapter.serial);
    for (size_t i = 0; i < ttys.size(); ++i) {
      const std::string interface_number = "1." + std::to_string(i);
      const fs::path interface_dir = usb_device / (port_path + ":" + interface_number);
      fs::create_directories(interface_dir);
      Write(interface_dir / "bInterfaceNumber", "0" + std::to_string(i));
      fs::path device = interface_dir;
      if (!adapter.acm) {
        device = interface_dir / ttys[i];
        fs::create_directories(device);
      }
      fs::create_directories(Tty(ttys[i]));
      fs::create_directory_symlink(device, Tty(ttys[i]) / "device");
      Write(dev() / ttys[i], "");
      fs::create_directories(ById());
      fs::create_directories(ByPath());
      const std::string port_number = std::to_string(i);
      fs::create_symlink("../../" + ttys[i],
                         ById() / ("usb-" + adapter.manufacturer + "_" + adapter.product + "_" +
                                   adapter.serial + "-if0" + port_number + "-port0"));
      fs::create_symlink("../../" + ttys[i], ByPath() / ByPathName(port_path, interface_number));
    }
    plugged_[port_path] = ttys;
  }

  // Takes the adapter at `port_path` away, with everything udev made for it.
  void Unplug(const std::string& port_path) {
    namespace fs = std::filesystem;
    for (const std::string& tty : plugged_[port_path]) {
      fs::remove_all(Tty(tty));
      fs::remove(dev() / tty);
      for (const fs::path& dir : {ById(), ByPath()}) {
        for (const auto& link : fs::directory_iterator(dir)) {
          if (fs::read_symlink(link.path()).filename() == tty) fs::remove(link.path());
        }
      }
    }
    fs::remove_all(UsbDevice(port_path));
    plugged_.erase(port_path);
  }

  // A platform UART that exists.
  void Uart(const std::string& name) {
    namespace fs = std::filesystem;
    const fs::path platform_device = sys() / "devices" / "platform" / "serial8250";
    fs::create_directories(platform_device);
    fs::create_directories(Tty(name));
    fs::create_directory_symlink(platform_device, Tty(name) / "device");
    Write(Tty(name) / "type", "4");
    Write(dev() / name, "");
  }

  // udev's by-path name: "pci-0000:00:14.0-usb-0:1.2:1.0-port0" for 1-1.2.
  static std::string ByPathName(const std::string& port_path, const std::string& interface_number) {
    return "pci-0000:00:14.0-usb-0:" + port_path.substr(port_path.find('-') + 1) + ":" +
           interface_number + "-port0";
  }

 private:
  std::filesystem::path Tty(const std::string& name) const {
    return sys() / "class" / "tty" / name;
  }
  std::filesystem::path UsbDevice(const std::string& port_path) const {
    return sys() / "devices" / "pci0000:00" / "0000:00:14.0" / "usb1" / port_path;
  }
  static void Write(const std::filesystem::path& file, const std::string& text) {
    std::ofstream(file) << text << "\n";
  }

  TempDir root_;
  std::map<std::string, std::vector<std::string>> plugged_;
};

}  // namespace testsupport
