#include "station/recipe.h"

#include <toml++/toml.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <set>

#include "operations/sha256.h"
#include "platform/regular_file.h"

namespace quarnel::station {
namespace {

namespace fs = std::filesystem;

// A station file is a short text: anything longer is no station file.
constexpr size_t kLongestRecipe = 1 << 20;
constexpr double kShortestCaptureTimeoutS = 0.1;
constexpr double kLongestCaptureTimeoutS = 7 * 24 * 3600.0;

// A fault found while checking: thrown to the top, where it becomes the
// result.
struct Fault {
  int line;
  std::string key;
  std::string message;
};

int LineOf(const toml::node& node) {
  return static_cast<int>(node.source().begin.line);
}

std::string TypeName(const toml::node& node) {
  switch (node.type()) {
    case toml::node_type::string:
      return "a string";
    case toml::node_type::integer:
      return "a whole number";
    case toml::node_type::floating_point:
      return "a number";
    case toml::node_type::boolean:
      return "true or false";
    case toml::node_type::array:
      return "a list";
    case toml::node_type::table:
      return "a table";
    default:
      return "a date or time";
  }
}

std::string Text(const toml::node& node, const std::string& key, bool may_be_empty = false) {
  const auto value = node.value<std::string>();
  if (!node.is_string() || !value) {
    throw Fault{LineOf(node), key, "must be a string, not " + TypeName(node)};
  }
  if (!may_be_empty && value->empty()) throw Fault{LineOf(node), key, "must not be empty"};
  return *value;
}

std::string PathBeside(const fs::path& recipe, const std::string& given) {
  const fs::path path = fs::path(given);
  return (path.is_absolute() ? path : recipe.parent_path() / path).lexically_normal().string();
}

Recipe Check(const toml::table& root, const fs::path& file) {
  static const std::set<std::string, std::less<>> kKeys{
      "station", "image", "image_sha256", "target_ids", "log", "units", "capture_timeout", "slot"};
  Recipe recipe;
  recipe.path = file.string();
  for (const auto& [name, node] : root) {
    const std::string key(name.str());
    if (!kKeys.contains(key)) {
      throw Fault{LineOf(node), key,
                  "unknown key (a station file knows station, image, image_sha256, target_ids, "
                  "log, units, capture_timeout and [[slot]])"};
    }
  }
  if (const toml::node* node = root.get("station")) recipe.station = Text(*node, "station");
  const toml::node* image = root.get("image");
  if (image == nullptr) throw Fault{1, "image", "missing: the image file to program"};
  recipe.image = PathBeside(file, Text(*image, "image"));
  const toml::node* pinned = root.get("image_sha256");
  if (pinned == nullptr) {
    throw Fault{1, "image_sha256", "missing: the image's SHA-256 (64 hex digits) is required"};
  }
  const auto sha256 = NormalSha256(Text(*pinned, "image_sha256"));
  if (!sha256) throw Fault{LineOf(*pinned), "image_sha256", "must be 64 hex digits"};
  recipe.image_sha256 = *sha256;
  if (const toml::node* node = root.get("target_ids")) {
    const toml::array* ids = node->as_array();
    if (ids == nullptr) {
      throw Fault{LineOf(*node), "target_ids", "must be a list of strings, not " + TypeName(*node)};
    }
    for (const toml::node& id : *ids) {
      const auto normal = NormalTargetId(Text(id, "target_ids"));
      if (!normal) {
        throw Fault{LineOf(id), "target_ids",
                    "'" + Text(id, "target_ids") + "' is no target ID (four hex digits)"};
      }
      recipe.target_ids.push_back(*normal);
    }
    if (recipe.target_ids.empty()) {
      throw Fault{LineOf(*node), "target_ids", "must name at least one ID (or be left out)"};
    }
  }
  if (const toml::node* node = root.get("log")) recipe.log = PathBeside(file, Text(*node, "log"));
  if (const toml::node* node = root.get("units")) {
    const auto units = node->value<int64_t>();
    if (!node->is_integer() || !units || *units < 1) {
      throw Fault{LineOf(*node), "units", "must be a whole number of at least 1"};
    }
    recipe.units = *units;
  }
  if (const toml::node* node = root.get("capture_timeout")) {
    const auto seconds = node->value<double>();
    if (!(node->is_integer() || node->is_floating_point()) || !seconds ||
        *seconds < kShortestCaptureTimeoutS || *seconds > kLongestCaptureTimeoutS) {
      throw Fault{LineOf(*node), "capture_timeout",
                  "must be a number of seconds from 0.1 to 604800 (one week)"};
    }
    recipe.capture_timeout_s = *seconds;
  }
  const toml::node* slots = root.get("slot");
  if (slots == nullptr) throw Fault{1, "slot", "missing: at least one [[slot]] with name and port"};
  const toml::array* list = slots->as_array();
  if (list == nullptr || !list->is_array_of_tables()) {
    throw Fault{LineOf(*slots), "slot", "must be tables: write each as [[slot]]"};
  }
  if (list->size() > kMostSlots) {
    throw Fault{LineOf(*slots), "slot",
                "a station drives at most " + std::to_string(kMostSlots) + " slots"};
  }
  std::set<std::string> names;
  for (const toml::node& entry : *list) {
    const toml::table& table = *entry.as_table();
    for (const auto& [name, node] : table) {
      const std::string key(name.str());
      if (key != "name" && key != "port") {
        throw Fault{LineOf(node), "slot." + key, "unknown key (a slot has a name and a port)"};
      }
    }
    RecipeSlot slot;
    const toml::node* name = table.get("name");
    if (name == nullptr)
      throw Fault{LineOf(table), "slot.name", "missing: every slot needs a name"};
    slot.name = Text(*name, "slot.name");
    const toml::node* port = table.get("port");
    if (port == nullptr) {
      throw Fault{LineOf(table), "slot.port", "missing: slot '" + slot.name + "' has no port"};
    }
    slot.port = Text(*port, "slot.port");
    if (!names.insert(slot.name).second) {
      throw Fault{LineOf(*name), "slot.name", "two slots are named '" + slot.name + "'"};
    }
    recipe.slots.push_back(std::move(slot));
  }
  return recipe;
}

bool AllHex(std::string_view text) {
  return std::all_of(text.begin(), text.end(),
                     [](char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; });
}

}  // namespace

std::string RecipeFault::Describe() const {
  std::string text = file;
  if (line > 0) text += ":" + std::to_string(line);
  text += ": ";
  if (!key.empty()) text += key + ": ";
  return text + message;
}

std::optional<std::string> NormalTargetId(std::string_view text) {
  if (text.size() != 4 || !AllHex(text)) return std::nullopt;
  std::string id(text);
  for (char& c : id) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return id;
}

std::optional<std::string> NormalSha256(std::string_view text) {
  if (text.size() != 64 || !AllHex(text)) return std::nullopt;
  std::string hash(text);
  for (char& c : hash) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return hash;
}

std::variant<Recipe, RecipeFault> ParseRecipe(std::string_view text, const std::string& path) {
  try {
    const toml::table root = toml::parse(text, path);
    Recipe recipe = Check(root, fs::path(path));
    recipe.sha256 =
        Sha256Hex(std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
    return recipe;
  } catch (const toml::parse_error& error) {
    return RecipeFault{
        path, static_cast<int>(error.source().begin.line), {}, std::string(error.description())};
  } catch (const Fault& fault) {
    return RecipeFault{path, fault.line, fault.key, fault.message};
  }
}

std::variant<Recipe, RecipeFault> ReadRecipe(const std::string& path) {
  std::error_code error;
  const fs::path absolute = fs::absolute(path, error).lexically_normal();
  std::string problem;
  const auto text = platform::ReadRegularFile(absolute.string(), kLongestRecipe, problem);
  if (error || !text) return RecipeFault{path, 0, {}, "cannot be read: " + problem};
  return ParseRecipe(*text, absolute.string());
}

}  // namespace quarnel::station
