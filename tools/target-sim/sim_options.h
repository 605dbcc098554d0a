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
  // After answering a reset the unit is off and the next one is powered on
  // this long after; 0: the same unit stays.
  uint32_t next_unit_after_ms = 0;
  // With next_unit_after_ms: how many units come in all; 0: no end.
  uint32_t units = 0;
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
