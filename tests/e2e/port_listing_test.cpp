// quarnel-cli --list-ports --details: the text, the JSON, and the program.
#include "app/cli/port_listing.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <variant>

#include "app/cli/cli_options.h"
#include "e2e_support.h"

namespace e2e {
namespace {

using quarnel::cli::ListPortsRequest;
using quarnel::cli::ParseCommandLine;
using quarnel::cli::PortDetailsJson;
using quarnel::cli::PortDetailsText;
using quarnel::cli::UsageError;
using ::testing::HasSubstr;
using ::testing::Not;

std::vector<platform::PortDetails> SomePorts() {
  platform::PortDetails uart;
  uart.device = "/dev/ttyS0";
  uart.description = "ttyS0";
  platform::PortDetails ftdi;
  ftdi.device = "/dev/ttyUSB0";
  ftdi.description = "FTDI FT232R USB UART (ttyUSB0)";
  ftdi.by_id = "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0";
  ftdi.by_path = "/dev/serial/by-path/pci-0000:00:14.0-usb-0:1.2:1.0-port0";
  ftdi.vendor_id = "0403";
  ftdi.product_id = "6001";
  ftdi.manufacturer = "FTDI";
  ftdi.product = "FT232R USB UART";
  ftdi.serial_number = "A50285BI";
  ftdi.location = "1-1.2";
  ftdi.usb_interface = "1.0";
  ftdi.place = "usb-path:1-1.2";
  return {uart, ftdi};
}

TEST(PortListing, TextShowsWhatIsKnownAndLeavesOutWhatIsNot) {
  EXPECT_EQ(PortDetailsText(SomePorts()),
            "/dev/ttyS0\n"
            "\n"
            "/dev/ttyUSB0\n"
            "  description:    FTDI FT232R USB UART (ttyUSB0)\n"
            "  by-id:          /dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0\n"
            "  by-path:        /dev/serial/by-path/pci-0000:00:14.0-usb-0:1.2:1.0-port0\n"
            "  USB id:         0403:6001\n"
            "  manufacturer:   FTDI\n"
            "  product:        FT232R USB UART\n"
            "  serial number:  A50285BI\n"
            "  location:       1-1.2\n"
            "  USB interface:  1.0\n"
            "  place:          usb-path:1-1.2\n");
  EXPECT_EQ(PortDetailsText({}), "");
}

TEST(PortListing, JsonIsOneObjectALineWithEveryFieldNullWhereUnknown) {
  const auto lines = testsupport::SplitLines(PortDetailsJson(SomePorts()));
  ASSERT_EQ(lines.size(), 2u);
  const auto uart = nlohmann::json::parse(lines[0]);
  const auto ftdi = nlohmann::json::parse(lines[1]);
  EXPECT_EQ(uart["device"], "/dev/ttyS0");
  EXPECT_TRUE(uart["usb_id"].is_null());
  EXPECT_TRUE(uart["place"].is_null());
  EXPECT_EQ(ftdi["usb_id"], "0403:6001");
  EXPECT_EQ(ftdi["serial_number"], "A50285BI");
  EXPECT_EQ(ftdi["by_path"], "/dev/serial/by-path/pci-0000:00:14.0-usb-0:1.2:1.0-port0");
  EXPECT_EQ(ftdi["location"], "1-1.2");
  EXPECT_EQ(ftdi["place"], "usb-path:1-1.2");
  // Both objects name the same fields, so a reader finds each by its name.
  std::vector<std::string> uart_keys, ftdi_keys;
  for (const auto& [key, value] : uart.items()) uart_keys.push_back(key);
  for (const auto& [key, value] : ftdi.items()) ftdi_keys.push_back(key);
  EXPECT_EQ(uart_keys, ftdi_keys);
  EXPECT_THAT(ftdi_keys, ::testing::IsSupersetOf({"device", "by_id", "by_path", "usb_id",
                                                  "manufacturer", "product", "serial_number",
                                                  "location", "location_path", "place"}));
}

TEST(PortListing, DetailsGoWithListPortsOnly) {
  const auto plain = ParseCommandLine({"--list-ports"});
  ASSERT_TRUE(std::holds_alternative<ListPortsRequest>(plain));
  EXPECT_FALSE(std::get<ListPortsRequest>(plain).details);
  const auto json = ParseCommandLine({"--list-ports", "--details", "--json"});
  ASSERT_TRUE(std::holds_alternative<ListPortsRequest>(json));
  EXPECT_TRUE(std::get<ListPortsRequest>(json).details);
  EXPECT_TRUE(std::get<ListPortsRequest>(json).json);
  const auto alone = ParseCommandLine({"--details", "--port", "sim0", "image.cry"});
  ASSERT_TRUE(std::holds_alternative<UsageError>(alone));
  EXPECT_THAT(std::get<UsageError>(alone).message, HasSubstr("--list-ports"));
}

TEST(PortListing, TheProgramListsASimulatedTargetsPortWithItsName) {
  TempDir dir;
  Simulator sim(dir.path(), {});
  const CliResult json = RunCli({"--list-ports", "--details", "--json"}, dir.path());
  EXPECT_EQ(json.exit_status, 0);
  ASSERT_FALSE(json.stdout_lines.empty());
  const auto last = nlohmann::json::parse(json.stdout_lines.back());
  EXPECT_EQ(last["device"], sim.port());
  EXPECT_EQ(last["virtual_port"], "sim0");

  const CliResult text = RunCli({"--list-ports", "--details"}, dir.path());
  EXPECT_EQ(text.exit_status, 0);
  EXPECT_THAT(text.stdout_lines, ::testing::Contains(sim.port()));
  EXPECT_THAT(text.stdout_lines, ::testing::Contains("  virtual port:   sim0"));

  // Without --details the list is as it was: devices alone.
  const CliResult plain = RunCli({"--list-ports"}, dir.path());
  EXPECT_THAT(plain.stdout_lines, ::testing::Contains(sim.port()));
  EXPECT_THAT(plain.stdout_lines, ::testing::Each(Not(HasSubstr("  "))));
  EXPECT_EQ(sim.Stop(), 0);
}

}  // namespace
}  // namespace e2e
