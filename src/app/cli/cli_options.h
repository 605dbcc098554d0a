#pragma once
// The command line of quarnel-cli.
#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace quarnel::cli {

struct ProgramRequest {
  std::string port;  // the last --port; with several, each of `ports` in turn
  std::string image;
  std::optional<double> capture_timeout_s;  // none: wait for the target as long as it takes
  // Every --port in the order given (duplicates kept: each is reported on
  // its own), then those of --ports-from.
  std::vector<std::string> ports;
  std::optional<std::string> ports_from;     // a file with one port a line
  std::optional<std::string> recipe;         // a station file: slots, image, pins and more
  bool json = false;                         // JSON events on stdout instead of the status lines
  bool station = false;                      // each port programs unit after unit until stopped
  std::optional<std::string> log;            // a line for every unit appended to this file
  std::optional<std::string> image_sha256;   // the image must have this SHA-256 (lower case)
  std::vector<std::string> target_ids;       // the units allowed (upper case); empty: any
  std::optional<std::string> unit_id;        // who the unit is (a serial number)
  std::optional<std::string> operator_name;  // who programs it; none: the login name
  std::optional<int64_t> units;              // a station stops after this many programmed units
  bool wait_port = false;                    // wait for the port's adapter to appear
  // Given by a supervisor to its children, not in the help text: the image
  // as the operator named it (`image` is then a private copy the supervisor
  // made), the slot's name and the station's name.
  std::optional<std::string> image_label;
  std::optional<std::string> slot;
  std::optional<std::string> station_name;

  // One process for several ports, or one port unit after unit.
  bool Supervised() const {
    return ports.size() > 1 || ports_from.has_value() || station || recipe.has_value();
  }
};
struct ListPortsRequest {
  bool details = false;  // --details: what the system knows about each port
  bool json = false;     // with --details: as JSON, one object a line
};
struct HelpRequest {};
struct VersionRequest {};
// --summarize LOG [--csv]: what a unit log says, per image, slot and day.
struct SummarizeRequest {
  std::string log;
  bool csv = false;
};
struct UsageError {
  std::string message;
};

using ParsedCommandLine = std::variant<ProgramRequest, ListPortsRequest, HelpRequest,
                                       VersionRequest, SummarizeRequest, UsageError>;

// `args` without the program name. --help wins over everything, then
// --version, then --list-ports and --summarize.
ParsedCommandLine ParseCommandLine(const std::vector<std::string>& args);

}  // namespace quarnel::cli
