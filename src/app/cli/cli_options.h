#pragma once
// The command line of quarnel-cli.
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace quarnel::cli {

struct ProgramRequest {
  std::string port;
  std::string image;
  std::optional<double> capture_timeout_s;  // none: wait for the target as long as it takes
};
struct ListPortsRequest {};
struct HelpRequest {};
struct UsageError {
  std::string message;
};

using ParsedCommandLine = std::variant<ProgramRequest, ListPortsRequest, HelpRequest, UsageError>;

// `args` without the program name. --help wins over everything, then --list-ports.
ParsedCommandLine ParseCommandLine(const std::vector<std::string>& args);

}  // namespace quarnel::cli
