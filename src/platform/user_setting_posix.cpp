#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

#include "platform/user_setting.h"

namespace platform {
namespace {

namespace fs = std::filesystem;

// The folder of the program's settings, or empty when the user has no home.
fs::path SettingsFolder(const std::string& program) {
  const char* config = std::getenv("XDG_CONFIG_HOME");
  fs::path base;
  if (config != nullptr && config[0] == '/') {
    base = config;
  } else {
    const char* home = std::getenv("HOME");
    if (home == nullptr || home[0] != '/') return {};
    base = fs::path(home) / ".config";
  }
  return base / "quarnel" / program;
}

}  // namespace

std::optional<std::string> ReadUserSetting(const std::string& program, const std::string& name) {
  const fs::path folder = SettingsFolder(program);
  if (folder.empty()) return std::nullopt;
  std::ifstream in(folder / name, std::ios::binary);
  if (!in) return std::nullopt;
  std::string value{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  if (in.bad()) return std::nullopt;
  return value;
}

bool WriteUserSetting(const std::string& program, const std::string& name,
                      const std::string& value) {
  const fs::path folder = SettingsFolder(program);
  if (folder.empty()) return false;
  std::error_code error;
  fs::create_directories(folder, error);
  if (error) return false;
  // Written beside and renamed over: a reader sees the old value or the new
  // one, never half of one.
  const fs::path target = folder / name;
  const fs::path part = folder / (name + ".part");
  {
    std::ofstream out(part, std::ios::binary | std::ios::trunc);
    if (!(out << value) || !out.flush()) {
      fs::remove(part, error);
      return false;
    }
  }
  fs::rename(part, target, error);
  if (error) fs::remove(part, error);
  return !error;
}

}  // namespace platform
