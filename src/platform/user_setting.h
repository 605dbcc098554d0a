#pragma once
// Small values a program keeps for its user between runs (such as the file
// opened last): on Windows in the registry, the key Software\quarnel\PROGRAM
// of the current user; elsewhere in $XDG_CONFIG_HOME/quarnel/PROGRAM/ (one
// file per name, by default under ~/.config). Values are UTF-8 text.
#include <optional>
#include <string>

namespace platform {

// The value kept under `name` for `program`; nothing when there is none or
// it cannot be read.
std::optional<std::string> ReadUserSetting(const std::string& program, const std::string& name);

// Keeps `value` under `name` for `program`, replacing what was there. False
// when the system refuses; the caller goes on without it.
bool WriteUserSetting(const std::string& program, const std::string& name,
                      const std::string& value);

}  // namespace platform
