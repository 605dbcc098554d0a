#pragma once
// File names are UTF-8 text throughout the program. A path object made from
// a narrow string takes it in the system's narrow encoding instead, which on
// Windows is the ANSI code page: a name with other characters would not open
// there. These conversions take and give UTF-8 on every system.
#include <filesystem>
#include <string>
#include <string_view>

namespace quarnel {

std::filesystem::path PathFromUtf8(std::string_view text);
std::string Utf8FromPath(const std::filesystem::path& path);

}  // namespace quarnel
