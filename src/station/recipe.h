#pragma once
// A station file (a "recipe"), written once by an engineer and only used by
// operators: the station's name, the image with its pinned SHA-256, the
// units allowed, the log, a quota and the slots. TOML:
//
//   station = "line 3, bench 2"
//   image = "firmware/unit-4.2.cry"     # relative to this file
//   image_sha256 = "9f86d0…"            # required: 64 hex digits
//   target_ids = ["1A2B"]               # optional: the units allowed
//   log = "/var/log/quarnel/units.log"  # optional (relative to this file)
//   units = 500                         # optional: stop after this many programmed units
//   capture_timeout = 60                # optional, seconds
//   [[slot]]
//   name = "A"
//   port = "usb-path:1-1.2"             # or any port spelling --port takes
//
// Every fault is reported with the file, its line and the key.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace quarnel::station {

struct RecipeSlot {
  std::string name;
  std::string port;
};

struct Recipe {
  std::string path;                     // the file, absolute
  std::string sha256;                   // of the file itself, for the records
  std::string station;                  // empty: not named (a front end takes the host's name)
  std::string image;                    // absolute
  std::string image_sha256;             // 64 lower-case hex digits
  std::vector<std::string> target_ids;  // four upper-case hex digits each; empty: any unit
  std::optional<std::string> log;       // absolute
  std::optional<int64_t> units;
  std::optional<double> capture_timeout_s;
  std::vector<RecipeSlot> slots;
};

struct RecipeFault {
  std::string file;
  int line = 0;  // 0: the file as a whole
  std::string key;
  std::string message;
  // "FILE:LINE: KEY: MESSAGE"
  std::string Describe() const;
};

// The most slots a station drives.
inline constexpr size_t kMostSlots = 64;

// Reads and checks the file at `path`.
std::variant<Recipe, RecipeFault> ReadRecipe(const std::string& path);
// Checks `text` as the content of the file `path` (made absolute by the caller).
std::variant<Recipe, RecipeFault> ParseRecipe(std::string_view text, const std::string& path);

// A target ID as the unit sends it: four hex digits, upper case; none for
// anything else.
std::optional<std::string> NormalTargetId(std::string_view text);
// A SHA-256 as 64 lower-case hex digits; none for anything else.
std::optional<std::string> NormalSha256(std::string_view text);

}  // namespace quarnel::station
