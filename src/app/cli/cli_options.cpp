#include "app/cli/cli_options.h"

#include <CLI/CLI.hpp>
#include <charconv>
#include <regex>

#include "station/recipe.h"

namespace quarnel::cli {
namespace {

constexpr double kShortestCaptureTimeoutS = 0.1;
constexpr double kLongestCaptureTimeoutS = 7 * 24 * 3600.0;  // one week
// A unit ID is what a barcode scanner types: printable, and not a novel.
constexpr size_t kLongestUnitId = 128;

// What the command line says, before it is judged. CLI11 takes care of the
// spellings ("--port=X", "--port X", "-p X", "--"); the judging is ours, so
// that --help and --list-ports win over every mistake.
struct Given {
  std::vector<std::string> ports;
  std::optional<std::string> capture_timeout;
  std::optional<std::string> ports_from;
  std::optional<std::string> recipe;
  std::optional<std::string> log;
  std::optional<std::string> image_label;
  std::optional<std::string> image_sha256;
  std::vector<std::string> target_ids;
  std::optional<std::string> unit_id;
  std::optional<std::string> operator_name;
  std::optional<std::string> units;
  std::optional<std::string> slot;
  std::optional<std::string> station_name;
  std::optional<std::string> summarize;
  bool list_ports = false;
  bool details = false;
  bool help = false;
  bool version = false;
  bool json = false;
  bool station = false;
  bool wait_port = false;
  bool csv = false;
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
  // One device per --port (and one list per --target-id); either may be given again.
  app.add_option("-p,--port", given.ports)
      ->expected(1)
      ->allow_extra_args(false)
      ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
  app.add_option("--target-id", given.target_ids)
      ->expected(1)
      ->allow_extra_args(false)
      ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
  app.add_option("--capture-timeout", given.capture_timeout);
  app.add_flag("--version", given.version);
  app.add_flag("--json", given.json);
  app.add_flag("--station", given.station);
  app.add_flag("--wait-port", given.wait_port);
  app.add_flag("--csv", given.csv);
  app.add_option("--ports-from", given.ports_from);
  app.add_option("--recipe", given.recipe);
  app.add_option("--log", given.log);
  app.add_option("--image-label", given.image_label);
  app.add_option("--image-sha256", given.image_sha256);
  app.add_option("--unit-id", given.unit_id);
  app.add_option("--operator", given.operator_name);
  app.add_option("--units", given.units);
  app.add_option("--slot", given.slot);
  app.add_option("--station-name", given.station_name);
  app.add_option("--summarize", given.summarize);
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

std::optional<int64_t> ParseCount(const std::string& text) {
  int64_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value < 1) return std::nullopt;
  return value;
}

bool Printable(const std::string& text) {
  return std::none_of(text.begin(), text.end(), [](char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 || byte == 0x7F;
  });
}

// Judges what a program request says; none when it is sound.
std::optional<std::string> Judge(const Given& given, ProgramRequest& request) {
  if (given.recipe) {
    // The recipe names the image, its hash, the units allowed and the slots:
    // an operator cannot change those.
    if (given.recipe->empty()) return "--recipe needs a file name";
    if (!given.ports.empty() || given.ports_from) {
      return "--recipe names the slots: leave out --port and --ports-from";
    }
    if (!given.images.empty()) return "--recipe names the image: leave out IMAGE";
    if (given.image_sha256 || !given.target_ids.empty()) {
      return "--recipe pins the image and the units allowed: leave out --image-sha256 and "
             "--target-id";
    }
    if (given.unit_id) return "--unit-id names one unit of one port; a recipe's slots have many";
    request.recipe = given.recipe;
  } else {
    if (given.ports.empty() && !given.ports_from) {
      return "--port DEVICE (or --ports-from FILE, or --recipe FILE) is required";
    }
    for (const std::string& port : given.ports) {
      if (port.empty()) return "--port needs a device name";
    }
    request.ports = given.ports;
    if (!given.ports.empty()) request.port = given.ports.back();
    if (given.ports_from) {
      if (given.ports_from->empty()) return "--ports-from needs a file name";
      request.ports_from = given.ports_from;
    }
    if (given.images.empty()) return "the image file (IMAGE) is missing";
    if (given.images.size() > 1) return "only one image file can be programmed at a time";
    request.image = given.images.front();
  }
  if (given.log && given.log->empty()) return "--log needs a file name";
  request.log = given.log;
  request.json = given.json;
  request.station = given.station;
  request.wait_port = given.wait_port;
  request.image_label = given.image_label;
  request.slot = given.slot;
  request.station_name = given.station_name;
  if (given.capture_timeout) {
    request.capture_timeout_s = ParseSeconds(*given.capture_timeout);
    if (!request.capture_timeout_s) {
      return "--capture-timeout takes a plain number of seconds from 0.1 to 604800 (one week), "
             "not '" +
             *given.capture_timeout + "'";
    }
  }
  if (given.image_sha256) {
    request.image_sha256 = station::NormalSha256(*given.image_sha256);
    if (!request.image_sha256) {
      return "--image-sha256 takes the image's SHA-256: 64 hex digits, not '" +
             *given.image_sha256 + "'";
    }
  }
  for (const std::string& list : given.target_ids) {
    size_t start = 0;
    for (;;) {
      const size_t comma = list.find(',', start);
      const std::string id = list.substr(start, comma - start);
      const auto normal = station::NormalTargetId(id);
      if (!normal) return "--target-id takes target IDs of four hex digits, not '" + id + "'";
      request.target_ids.push_back(*normal);
      if (comma == std::string::npos) break;
      start = comma + 1;
    }
  }
  if (given.unit_id) {
    if (given.unit_id->empty() || given.unit_id->size() > kLongestUnitId ||
        !Printable(*given.unit_id)) {
      return "--unit-id takes the unit's ID: 1 to 128 printable characters";
    }
    if (request.Supervised()) return "--unit-id names one unit: give it with one --port only";
    request.unit_id = given.unit_id;
  }
  if (given.operator_name) {
    if (given.operator_name->empty() || !Printable(*given.operator_name)) {
      return "--operator needs a name";
    }
    request.operator_name = given.operator_name;
  }
  if (given.units) {
    request.units = ParseCount(*given.units);
    if (!request.units)
      return "--units takes a whole number of at least 1, not '" + *given.units + "'";
    if (!request.station) return "--units counts the units of a station: add --station";
  }
  if (given.csv) return "--csv goes with --summarize LOG";
  return std::nullopt;
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
  if (given.summarize) {
    if (given.summarize->empty()) return UsageError{"--summarize needs the log file"};
    return SummarizeRequest{*given.summarize, given.csv};
  }
  ProgramRequest request;
  if (auto error = Judge(given, request)) return UsageError{std::move(*error)};
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
