#pragma once
// Command-line options of quarnel-target-sim.
#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "bootloader.h"
#include "fault_injector.h"

namespace targetsim {

struct SimOptions {
  std::string name = "sim0";
  uint16_t target_id = 0x1A2B;
  uint32_t power_on_after_ms = 0;
  BootloaderTimes times;
  uint32_t baud = 0;
  std::string image_out;
  bool verbose = false;
  FaultOptions faults;
};

struct ShowHelp {};
struct ShowVersion {};
struct OptionError {
  std::string message;
};

std::variant<SimOptions, ShowHelp, ShowVersion, OptionError> ParseOptions(
    const std::vector<std::string>& args);
std::string HelpText();

}  // namespace targetsim
