#include "app/cli/cli_options.h"

#include <CLI/CLI.hpp>
#include <charconv>
#include <regex>

namespace quarnel::cli {
namespace {

constexpr double kShortestCaptureTimeoutS = 0.1;
constexpr double kLongestCaptureTimeoutS = 7 * 24 * 3600.0;  // one week

// What the command line says, before it is judged. CLI11 takes care of the
// spellings ("--port=X", "--port X", "-p X", "--"); the judging is ours, so
// that --help and --list-ports win over every mistake.
struct Given {
  std::vector<std::string> ports;
  std::optional<std::string> capture_timeout;
  std::optional<std::string> ports_from;
  std::optional<std::string> log;
  std::optional<std::string> image_label;
  bool list_ports = false;
  bool details = false;
  bool help = false;
  bool version = false;
  bool json = false;
  bool station = false;
  std::vector<std::string> images;
};

void Declare(CLI::App& app, Given& given) {
  // The help text is our own (help_text.cpp); unknown options are judged
  // after the others.
  app.set_help_flag();
  app.allow_extras();
  // CLI11 takes "/name" for an option on Windows; an image given by an
  // absolute path with forward slashes (as under Wine) is a file all the same.
  app.allow_windows_style_options(false);
  app.add_flag("-h,--help", given.help);
  app.add_flag("--list-ports", given.list_ports);
  app.add_flag("--details", given.details);
  // One device per --port; it may be given again.
  app.add_option("-p,--port", given.ports)
      ->expected(1)
      ->allow_extra_args(false)
      ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
  app.add_option("--capture-timeout", given.capture_timeout);
  app.add_flag("--version", given.version);
  app.add_flag("--json", given.json);
  app.add_flag("--station", given.station);
  app.add_option("--ports-from", given.ports_from);
  app.add_option("--log", given.log);
  app.add_option("--image-label", given.image_label);
  app.add_option("image", given.images);
}

// A plain decimal number of seconds ("30", "2.5") in the accepted range:
// no sign, exponent, hex, "inf" or "nan", so nothing overflows or rounds to 0.
std::optional<double> ParseSeconds(const std::string& text) {
  static const std::regex kPlainDecimal(R"(([0-9]+(\.[0-9]*)?|\.[0-9]+))");
  if (!std::regex_match(text, kPlainDecimal)) return std::nullopt;
  double value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  if (value < kShortestCaptureTimeoutS || value > kLongestCaptureTimeoutS) return std::nullopt;
  return value;
}

ParsedCommandLine Judge(const Given& given, const std::vector<std::string>& left_over) {
  if (given.help) return HelpRequest{};
  if (given.version) return VersionRequest{};
  if (given.list_ports) return ListPortsRequest{given.details, given.json};
  if (given.details) return UsageError{"--details goes with --list-ports"};
  if (!left_over.empty()) {
    const std::string& first = left_over.front();
    return UsageError{
        (first.size() > 1 && first[0] == '-' ? "unknown option '" : "unexpected argument '") +
        first + "'"};
  }

  ProgramRequest request;
  if (given.ports.empty() && !given.ports_from) {
    return UsageError{"--port DEVICE (or --ports-from FILE) is required"};
  }
  for (const std::string& port : given.ports) {
    if (port.empty()) return UsageError{"--port needs a device name"};
  }
  request.ports = given.ports;
  if (!given.ports.empty()) request.port = given.ports.back();
  if (given.ports_from) {
    if (given.ports_from->empty()) return UsageError{"--ports-from needs a file name"};
    request.ports_from = given.ports_from;
  }
  if (given.log && given.log->empty()) return UsageError{"--log needs a file name"};
  request.log = given.log;
  request.json = given.json;
  request.station = given.station;
  request.image_label = given.image_label;
  if (given.capture_timeout) {
    request.capture_timeout_s = ParseSeconds(*given.capture_timeout);
    if (!request.capture_timeout_s) {
      return UsageError{
          "--capture-timeout takes a plain number of seconds from 0.1 to 604800 (one week), "
          "not '" +
          *given.capture_timeout + "'"};
    }
  }
  if (given.images.empty()) return UsageError{"the image file (IMAGE) is missing"};
  if (given.images.size() > 1) return UsageError{"only one image file can be programmed at a time"};
  request.image = given.images.front();
  return request;
}

}  // namespace

ParsedCommandLine ParseCommandLine(const std::vector<std::string>& args) {
  CLI::App app("quarnel-cli", "quarnel-cli");
  Given given;
  Declare(app, given);
  // CLI11 takes the arguments last first.
  std::vector<std::string> reversed(args.rbegin(), args.rend());
  try {
    app.parse(reversed);
  } catch (const CLI::ParseError& error) {
    if (given.help) return HelpRequest{};
    if (given.version) return VersionRequest{};
    return UsageError{error.what()};
  }
  // The end of the options ("--") is kept among the left-overs as a mark.
  std::vector<std::string> left_over = app.remaining();
  std::erase(left_over, "--");
  return Judge(given, left_over);
}

}  // namespace quarnel::cli
