#include "platform/port_list.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <fstream>
#include <optional>

#include "platform/device_names.h"
#include "platform/virtual_ports.h"

namespace fs = std::filesystem;

namespace platform {
namespace {

TEST(ResolveDeviceName, PathsBareNamesAndComPorts) {
  EXPECT_EQ(ResolveDeviceName("/dev/serial/by-id/usb-FTDI-if00"),
            "/dev/serial/by-id/usb-FTDI-if00");
  EXPECT_EQ(ResolveDeviceName("./pty"), "./pty");
  EXPECT_EQ(ResolveDeviceName("ttyUSB0"), "/dev/ttyUSB0");
  EXPECT_EQ(ResolveDeviceName("COM1"), "/dev/ttyS0");
  EXPECT_EQ(ResolveDeviceName("com5"), "/dev/ttyS4");
  EXPECT_EQ(ResolveDeviceName("Com12"), "/dev/ttyS11");
  // Not of the COMn form: taken as a name under /dev.
  EXPECT_EQ(ResolveDeviceName("COM0"), "/dev/COM0");
  EXPECT_EQ(ResolveDeviceName("COM"), "/dev/COM");
  EXPECT_EQ(ResolveDeviceName("COM1a"), "/dev/COM1a");
  EXPECT_EQ(ResolveDeviceName("COM99999999999"), "/dev/COM99999999999");
  // The Windows device-namespace prefix of the port's default name.
  EXPECT_EQ(ResolveDeviceName("\\\\.\\COM3"), "/dev/ttyS2");
  EXPECT_EQ(ResolveDeviceName("\\\\.\\ttyUSB1"), "/dev/ttyUSB1");
}

// A sysfs and /dev tree as a machine with two real UARTs, one phantom UART,
// a USB adapter, an ACM device and a virtual console shows it.
class PortListOnFakeTree : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/quarnel-portlist-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    root_ = tmpl;
    sys_ = root_ / "sys";
    dev_ = root_ / "dev";
    fs::create_directories(dev_ / "serial" / "by-id");
    Uart("ttyS0", "4");
    Uart("ttyS1", "0");  // phantom: the kernel knows no UART there
    Uart("ttyS10", "4");
    Uart("ttyS2", "4");
    UsbTty("ttyUSB0", "1-1", "FTDI", "FT232R USB UART");
    UsbTty("ttyACM0", "1-2", "", "Bootloader CDC");
    fs::create_directories(Tty("tty0"));  // virtual console: no device
    fs::create_symlink("../../ttyUSB0",
                       dev_ / "serial" / "by-id" / "usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0");

    const char* old = getenv("XDG_RUNTIME_DIR");
    if (old) old_runtime_dir_ = old;
    setenv("XDG_RUNTIME_DIR", (root_ / "run").c_str(), 1);
  }
  void TearDown() override {
    if (old_runtime_dir_.empty()) {
      unsetenv("XDG_RUNTIME_DIR");
    } else {
      setenv("XDG_RUNTIME_DIR", old_runtime_dir_.c_str(), 1);
    }
    fs::remove_all(root_);
  }

  fs::path Tty(const std::string& name) { return sys_ / "class" / "tty" / name; }
  static void Write(const fs::path& file, const std::string& text) {
    std::ofstream(file) << text << "\n";
  }
  void Uart(const std::string& name, const std::string& type) {
    const fs::path platform_device = sys_ / "devices" / "platform" / "serial8250";
    fs::create_directories(platform_device);
    fs::create_directories(Tty(name));
    fs::create_directory_symlink(platform_device, Tty(name) / "device");
    Write(Tty(name) / "type", type);
    Write(dev_ / name, "");
  }
  void UsbTty(const std::string& name, const std::string& usb, const std::string& maker,
              const std::string& product) {
    const fs::path usb_device = sys_ / "devices" / "usb1" / usb;
    const fs::path interface_dir = usb_device / (usb + ":1.0");
    fs::create_directories(interface_dir / name);
    Write(usb_device / "product", product);
    if (!maker.empty()) Write(usb_device / "manufacturer", maker);
    fs::create_directories(Tty(name));
    fs::create_directory_symlink(interface_dir / name, Tty(name) / "device");
    Write(dev_ / name, "");
  }

  fs::path root_, sys_, dev_;
  std::string old_runtime_dir_;
};

TEST_F(PortListOnFakeTree, RealPortsInNaturalOrderThenVirtualPorts) {
  VirtualPortPublication sim10("sim10", (dev_ / "ttyS0").string());
  VirtualPortPublication sim2("sim2", (dev_ / "ttyS0").string());
  VirtualPortPublication gone("gone", (dev_ / "no-such-pty").string());  // skipped

  const auto ports = ListSerialPorts(sys_, dev_);
  std::vector<std::string> devices;
  for (const auto& p : ports) devices.push_back(p.device);
  const fs::path virtual_dir = root_ / "run" / "quarnel" / "ports";
  const std::vector<std::string> expected = {
      (dev_ / "ttyACM0").string(),
      (dev_ / "ttyS0").string(),
      (dev_ / "ttyS2").string(),
      (dev_ / "ttyS10").string(),
      (dev_ / "serial" / "by-id" / "usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0").string(),
      (virtual_dir / "sim2").string(),
      (virtual_dir / "sim10").string(),
  };
  EXPECT_EQ(devices, expected);

  ASSERT_EQ(ports.size(), expected.size());
  EXPECT_EQ(ports[0].description, "Bootloader CDC (ttyACM0)");
  EXPECT_EQ(ports[1].description, "ttyS0");
  EXPECT_EQ(ports[4].description, "FTDI FT232R USB UART (ttyUSB0)");
  EXPECT_EQ(ports[5].description, "Virtual port (sim2)");
  // A list shows a virtual port by its own name, as the operator names it;
  // a machine's port by the name it opens as.
  EXPECT_EQ(ports[5].name, "sim2");
  EXPECT_EQ(ports[6].name, "sim10");
  EXPECT_EQ(ports[4].name, ports[4].device);
}

TEST_F(PortListOnFakeTree, WithoutVirtualPortsAndWithoutTypeAttribute) {
  // Without a type attribute the driver is asked; a plain file is no UART.
  fs::remove(Tty("ttyS2") / "type");
  VirtualPortPublication sim0("sim0", (dev_ / "ttyS0").string());
  const auto ports = ListSerialPorts(sys_, dev_, false);
  std::vector<std::string> devices;
  for (const auto& p : ports) devices.push_back(fs::path(p.device).filename().string());
  EXPECT_EQ(devices, (std::vector<std::string>{"ttyACM0", "ttyS0", "ttyS10",
                                               "usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0"}));
}

TEST_F(PortListOnFakeTree, MissingTreeGivesOnlyVirtualPorts) {
  VirtualPortPublication sim0("sim0", (dev_ / "ttyS0").string());
  const auto ports = ListSerialPorts(root_ / "nothing", root_ / "nothing");
  ASSERT_EQ(ports.size(), 1u);
  EXPECT_EQ(fs::path(ports[0].device).filename(), "sim0");
}

TEST_F(PortListOnFakeTree, VirtualPortsWhoseLockIsFreeAreSkippedRemovedAndFree) {
  const fs::path dir = VirtualPortDirectory();
  std::optional<VirtualPortPublication> live;
  live.emplace("live", (dev_ / "ttyS0").string());
  // What a publisher that was killed leaves behind: its link and lock file,
  // and no process holding the lock. Its link still reaches a device.
  const auto leave_dead_entry = [&] {
    fs::create_symlink(dev_ / "ttyS2", dir / "dead");
    std::ofstream(dir / ".dead.lock");
  };
  leave_dead_entry();
  EXPECT_EQ(ListVirtualPorts(), std::vector<std::string>{(dir / "live").string()});
  EXPECT_FALSE(fs::is_symlink(dir / "dead")) << "a stale entry is removed";
  EXPECT_FALSE(fs::exists(dir / ".dead.lock"));

  // Looking the dead name up removes it too, so it opens as a missing device.
  leave_dead_entry();
  EXPECT_EQ(ResolveDeviceName((dir / "dead").string()), (dir / "dead").string());
  EXPECT_FALSE(fs::is_symlink(dir / "dead"));
  EXPECT_TRUE(fs::is_symlink(dir / "live"));
  EXPECT_EQ(ResolveDeviceName((dir / "live").string()), (dir / "live").string());
  EXPECT_TRUE(fs::is_symlink(dir / "live")) << "a live entry stays";

  // A stale name can be taken again, a live one cannot.
  leave_dead_entry();
  VirtualPortPublication again("dead", (dev_ / "ttyS10").string());
  EXPECT_EQ(fs::read_symlink(dir / "dead"), dev_ / "ttyS10");
  EXPECT_THROW(VirtualPortPublication("live", (dev_ / "ttyS2").string()), VirtualPortInUse);
  live.reset();
  EXPECT_FALSE(fs::is_symlink(dir / "live")) << "withdrawn with its publication";
  EXPECT_NO_THROW(VirtualPortPublication("live", (dev_ / "ttyS2").string()));
}

}  // namespace
}  // namespace platform
