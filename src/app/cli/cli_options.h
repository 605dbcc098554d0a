#pragma once
// The command line of quarnel-cli.
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
  std::optional<std::string> ports_from;  // a file with one port a line
  bool json = false;                      // JSON events on stdout instead of the status lines
  bool station = false;                   // each port programs unit after unit until stopped
  std::optional<std::string> log;         // a line for every unit appended to this file
  // Shown as the image in events and logs instead of `image` (which is then
  // a private copy the supervisor made); not in the help text.
  std::optional<std::string> image_label;

  // One process for several ports, or one port unit after unit.
  bool Supervised() const { return ports.size() > 1 || ports_from.has_value() || station; }
};
struct ListPortsRequest {
  bool details = false;  // --details: what the system knows about each port
  bool json = false;     // with --details: as JSON, one object a line
};
struct HelpRequest {};
struct VersionRequest {};
struct UsageError {
  std::string message;
};

using ParsedCommandLine =
    std::variant<ProgramRequest, ListPortsRequest, HelpRequest, VersionRequest, UsageError>;

// `args` without the program name. --help wins over everything, then
// --version, then --list-ports.
ParsedCommandLine ParseCommandLine(const std::vector<std::string>& args);

}  // namespace quarnel::cli
