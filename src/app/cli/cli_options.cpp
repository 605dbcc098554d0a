#include "app/cli/cli_options.h"

#include <cmath>
#include <cstdlib>

namespace quarnel::cli {
namespace {

// Seconds as a plain positive number ("30", "2.5"); nothing else.
std::optional<double> ParseSeconds(const std::string& text) {
  if (text.empty()) return std::nullopt;
  char* end = nullptr;
  const double value = std::strtod(text.c_str(), &end);
  if (end != text.c_str() + text.size() || !std::isfinite(value) || value <= 0) {
    return std::nullopt;
  }
  return value;
}

}  // namespace

ParsedCommandLine ParseCommandLine(const std::vector<std::string>& args) {
  ProgramRequest request;
  bool list_ports = false;
  bool help = false;
  std::vector<std::string> positional;
  std::optional<std::string> error;

  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--") {
      positional.insert(positional.end(), args.begin() + static_cast<long>(i) + 1, args.end());
      break;
    }
    // "--name=value" or "--name value".
    std::string name = arg;
    std::optional<std::string> value;
    if (arg.rfind("--", 0) == 0) {
      if (const auto eq = arg.find('='); eq != std::string::npos) {
        name = arg.substr(0, eq);
        value = arg.substr(eq + 1);
      }
    }
    auto take_value = [&]() -> std::optional<std::string> {
      if (value) return value;
      if (i + 1 < args.size()) return args[++i];
      if (!error) error = name + " needs a value";
      return std::nullopt;
    };

    if (name == "--help" || name == "-h") {
      help = true;
    } else if (name == "--list-ports") {
      list_ports = true;
    } else if (name == "--port" || name == "-p") {
      if (auto v = take_value()) {
        if (v->empty() && !error) error = "--port needs a device name";
        request.port = *v;
      }
    } else if (name == "--capture-timeout") {
      if (auto v = take_value()) {
        request.capture_timeout_s = ParseSeconds(*v);
        if (!request.capture_timeout_s && !error) {
          error = "--capture-timeout takes a number of seconds greater than 0, not '" + *v + "'";
        }
      }
    } else if (arg.size() > 1 && arg[0] == '-') {
      if (!error) error = "unknown option '" + arg + "'";
    } else {
      positional.push_back(arg);
    }
  }

  if (help) return HelpRequest{};
  if (list_ports) return ListPortsRequest{};
  if (error) return UsageError{*error};
  if (request.port.empty()) return UsageError{"--port DEVICE is required"};
  if (positional.empty()) return UsageError{"the image file (IMAGE) is missing"};
  if (positional.size() > 1) return UsageError{"only one image file can be programmed at a time"};
  request.image = positional.front();
  return request;
}

}  // namespace quarnel::cli
