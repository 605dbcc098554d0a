#include "platform/port_details.h"

#include <gtest/gtest.h>

#include "fake_sysfs.h"

namespace fs = std::filesystem;

namespace platform {
namespace {

using testsupport::FakeAdapter;
using testsupport::FakeSysfs;

// A machine with one UART, a single-port FTDI adapter at 1-1.2, a two-port
// adapter at 1-1.3 and a CDC ACM device at 2-4.
class PortDetailsOnFakeTree : public ::testing::Test {
 protected:
  void SetUp() override {
    tree_.Uart("ttyS0");
    tree_.Plug("1-1.2", FakeAdapter{}, {"ttyUSB0"});
    FakeAdapter dual;
    dual.product_id = "6010";
    dual.product = "Dual RS232-HS";
    dual.serial = "FT1ABCDE";
    tree_.Plug("1-1.3", dual, {"ttyUSB1", "ttyUSB2"});
    FakeAdapter acm;
    acm.vendor_id = "04d8";
    acm.product_id = "000a";
    acm.manufacturer = "";
    acm.product = "Bootloader CDC";
    acm.serial = "";
    acm.acm = true;
    tree_.Plug("2-4", acm, {"ttyACM0"});
  }

  const PortDetails& Port(const std::vector<PortDetails>& ports, const std::string& name) {
    for (const PortDetails& port : ports) {
      if (fs::path(port.device).filename() == name) return port;
    }
    throw std::runtime_error("no port " + name);
  }

  FakeSysfs tree_;
};

TEST_F(PortDetailsOnFakeTree, AdapterNamesAndStringsComeWithEachPort) {
  const auto ports = ReadPortDetails(tree_.sys(), tree_.dev(), false);
  ASSERT_EQ(ports.size(), 5u);

  const PortDetails& ftdi = Port(ports, "ttyUSB0");
  EXPECT_EQ(ftdi.device, (tree_.dev() / "ttyUSB0").string());
  EXPECT_EQ(ftdi.by_id, (tree_.ById() / "usb-FTDI_FT232R USB UART_A50285BI-if00-port0").string());
  EXPECT_EQ(ftdi.by_path, (tree_.ByPath() / "pci-0000:00:14.0-usb-0:1.2:1.0-port0").string());
  EXPECT_EQ(ftdi.UsbId(), "0403:6001");
  EXPECT_EQ(ftdi.manufacturer, "FTDI");
  EXPECT_EQ(ftdi.product, "FT232R USB UART");
  EXPECT_EQ(ftdi.serial_number, "A50285BI");
  EXPECT_EQ(ftdi.location, "1-1.2");
  EXPECT_EQ(ftdi.usb_interface, "1.0");
  EXPECT_EQ(ftdi.description, "FTDI FT232R USB UART (ttyUSB0)");

  // The tty of an ACM device hangs off its interface directly.
  const PortDetails& acm = Port(ports, "ttyACM0");
  EXPECT_EQ(acm.UsbId(), "04d8:000a");
  EXPECT_EQ(acm.location, "2-4");
  EXPECT_EQ(acm.usb_interface, "1.0");
  EXPECT_EQ(acm.serial_number, "");
  EXPECT_EQ(acm.description, "Bootloader CDC (ttyACM0)");

  const PortDetails& uart = Port(ports, "ttyS0");
  EXPECT_EQ(uart.UsbId(), "");
  EXPECT_EQ(uart.location, "");
  EXPECT_EQ(uart.by_id, "");
  EXPECT_EQ(uart.place, "");
}

TEST_F(PortDetailsOnFakeTree, EachPortIsPlacedByItsSocketAndAMultiPortAdapterByItsInterface) {
  const auto ports = ReadPortDetails(tree_.sys(), tree_.dev(), false);
  EXPECT_EQ(Port(ports, "ttyUSB0").place, "usb-path:1-1.2");
  EXPECT_EQ(Port(ports, "ttyUSB1").place, "usb-path:1-1.3:1.0");
  EXPECT_EQ(Port(ports, "ttyUSB2").place, "usb-path:1-1.3:1.1");
  EXPECT_EQ(Port(ports, "ttyUSB2").location, "1-1.3");
  EXPECT_EQ(Port(ports, "ttyACM0").place, "usb-path:2-4");
}

TEST_F(PortDetailsOnFakeTree, TheDetailsFollowTheAdapterInTheSocket) {
  tree_.Unplug("1-1.2");
  FakeAdapter other;
  other.vendor_id = "10c4";
  other.product_id = "ea60";
  other.manufacturer = "Silicon Labs";
  other.product = "CP2102 USB to UART Bridge Controller";
  other.serial = "0001";
  tree_.Plug("1-1.2", other, {"ttyUSB7"});
  const auto ports = ReadPortDetails(tree_.sys(), tree_.dev(), false);
  EXPECT_EQ(ports.size(), 5u);
  const PortDetails& cp2102 = Port(ports, "ttyUSB7");
  EXPECT_EQ(cp2102.UsbId(), "10c4:ea60");
  EXPECT_EQ(cp2102.serial_number, "0001");
  EXPECT_EQ(cp2102.place, "usb-path:1-1.2");
  EXPECT_EQ(cp2102.by_path, (tree_.ByPath() / "pci-0000:00:14.0-usb-0:1.2:1.0-port0").string());
}

}  // namespace
}  // namespace platform
