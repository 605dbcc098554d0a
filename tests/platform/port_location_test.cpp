#include "platform/port_location.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <fstream>

#include "fake_sysfs.h"
#include "platform/virtual_ports.h"

namespace fs = std::filesystem;

namespace platform {
namespace {

using testsupport::FakeAdapter;
using testsupport::FakeSysfs;

// Spellings resolved against a fake tree, with the virtual-port directory
// inside it.
class PortSpellingsOnFakeTree : public ::testing::Test {
 protected:
  void SetUp() override {
    if (const char* old = getenv("XDG_RUNTIME_DIR")) old_runtime_dir_ = old;
    setenv("XDG_RUNTIME_DIR", (tree_.root() / "run").c_str(), 1);
    tree_.Uart("ttyS0");
    tree_.Plug("1-1.2", FakeAdapter{}, {"ttyUSB0"});
  }
  void TearDown() override {
    if (old_runtime_dir_) {
      setenv("XDG_RUNTIME_DIR", old_runtime_dir_->c_str(), 1);
    } else {
      unsetenv("XDG_RUNTIME_DIR");
    }
  }

  std::optional<std::string> Resolve(const std::string& spelling) {
    return ResolvePort(spelling, tree_.sys(), tree_.dev());
  }
  std::string Node(const std::string& name) { return (tree_.dev() / name).string(); }

  FakeSysfs tree_;
  std::optional<std::string> old_runtime_dir_;
};

TEST_F(PortSpellingsOnFakeTree, AUsbPathNamesWhateverAdapterIsInThatSocketNow) {
  EXPECT_EQ(Resolve("usb-path:1-1.2"), Node("ttyUSB0"));
  EXPECT_EQ(Resolve("usb-path:1-1.2:1.0"), Node("ttyUSB0"));

  tree_.Unplug("1-1.2");
  EXPECT_EQ(Resolve("usb-path:1-1.2"), std::nullopt) << "an empty socket";

  // Another adapter of another make in the same socket.
  FakeAdapter other;
  other.vendor_id = "1a86";
  other.product_id = "7523";
  other.serial = "";
  tree_.Plug("1-1.2", other, {"ttyUSB3"});
  EXPECT_EQ(Resolve("usb-path:1-1.2"), Node("ttyUSB3"));

  // The first one back, in another socket: the place keeps its adapter.
  tree_.Plug("1-1.4", FakeAdapter{}, {"ttyUSB0"});
  EXPECT_EQ(Resolve("usb-path:1-1.2"), Node("ttyUSB3"));
  EXPECT_EQ(Resolve("usb-path:1-1.4"), Node("ttyUSB0"));

  // A port path is matched whole, not by its start.
  EXPECT_EQ(Resolve("usb-path:1-1"), std::nullopt);
  EXPECT_EQ(Resolve("usb-path:1-1.2.1"), std::nullopt);
  EXPECT_EQ(Resolve("usb-path:"), std::nullopt);
}

TEST_F(PortSpellingsOnFakeTree, ASocketWithSeveralPortsIsRefusedUntilTheInterfaceIsNamed) {
  FakeAdapter dual;
  dual.product_id = "6010";
  dual.serial = "FT1ABCDE";
  tree_.Plug("1-1.3", dual, {"ttyUSB1", "ttyUSB2"});
  try {
    Resolve("usb-path:1-1.3");
    FAIL() << "a socket with two ports resolved";
  } catch (const AmbiguousPortPlace& error) {
    const std::string message = error.what();
    EXPECT_NE(message.find("usb-path:1-1.3:1.0"), std::string::npos) << message;
    EXPECT_NE(message.find("usb-path:1-1.3:1.1"), std::string::npos) << message;
  }
  EXPECT_EQ(Resolve("usb-path:1-1.3:1.0"), Node("ttyUSB1"));
  EXPECT_EQ(Resolve("usb-path:1-1.3:1.1"), Node("ttyUSB2"));
}

TEST_F(PortSpellingsOnFakeTree, AByPathLinkIsFollowedEachTime) {
  const std::string link = (tree_.ByPath() / FakeSysfs::ByPathName("1-1.2", "1.0")).string();
  EXPECT_EQ(Resolve(link), fs::canonical(Node("ttyUSB0")).string());

  tree_.Unplug("1-1.2");
  EXPECT_EQ(Resolve(link), std::nullopt);
  // udev leaves a dangling link behind for a moment: still nothing there.
  fs::create_symlink("../../ttyUSB0", link);
  EXPECT_EQ(Resolve(link), std::nullopt);
  fs::remove(link);

  tree_.Plug("1-1.2", FakeAdapter{}, {"ttyUSB5"});
  EXPECT_EQ(Resolve(link), fs::canonical(Node("ttyUSB5")).string());
}

TEST_F(PortSpellingsOnFakeTree, OtherSpellingsResolveAsBeforeWhenTheirDeviceIsThere) {
  // A path stands as it is.
  EXPECT_EQ(Resolve(Node("ttyS0")), Node("ttyS0"));
  EXPECT_EQ(Resolve(Node("ttyS9")), std::nullopt);
  const std::string by_id =
      (tree_.ById() / "usb-FTDI_FT232R USB UART_A50285BI-if00-port0").string();
  EXPECT_EQ(Resolve(by_id), by_id);
  // The last part of a by-id link, as a port list entry is picked.
  EXPECT_EQ(Resolve("usb-FTDI_FT232R USB UART_A50285BI-if00-port0"), by_id);

  // A virtual port by its name, while its publisher runs.
  std::optional<VirtualPortPublication> sim;
  sim.emplace("sim0", Node("ttyS0"));
  EXPECT_EQ(Resolve("sim0"), (VirtualPortDirectory() / "sim0").string());
  sim.reset();
  EXPECT_EQ(Resolve("sim0"), std::nullopt);
  // What a killed publisher leaves: a link and a free lock.
  fs::create_symlink(Node("ttyS0"), VirtualPortDirectory() / "sim0");
  std::ofstream(VirtualPortDirectory() / ".sim0.lock");
  EXPECT_EQ(Resolve("sim0"), std::nullopt);
  EXPECT_FALSE(fs::is_symlink(VirtualPortDirectory() / "sim0")) << "a stale entry is removed";
}

TEST_F(PortSpellingsOnFakeTree, TwoSpellingsOfOneDeviceShareTheirIdentity) {
  const std::string by_id =
      (tree_.ById() / "usb-FTDI_FT232R USB UART_A50285BI-if00-port0").string();
  const std::string by_path = (tree_.ByPath() / FakeSysfs::ByPathName("1-1.2", "1.0")).string();
  const std::string by_place = Resolve("usb-path:1-1.2").value();
  EXPECT_EQ(DeviceIdentity(by_id), DeviceIdentity(by_place));
  EXPECT_EQ(DeviceIdentity(Resolve(by_path).value()), DeviceIdentity(by_place));
  EXPECT_NE(DeviceIdentity(Node("ttyS0")), DeviceIdentity(by_place));
  // A device that has gone keeps a name of its own.
  EXPECT_EQ(DeviceIdentity(Node("ttyUSB9")), Node("ttyUSB9"));
}

}  // namespace
}  // namespace platform
