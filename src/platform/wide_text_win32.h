#pragma once
// Conversions between the UTF-8 text used throughout the program and the
// UTF-16 text of the Windows API.
#include <string>
#include <string_view>

namespace platform {

std::string Utf8FromWide(std::wstring_view text);
std::wstring WideFromUtf8(std::string_view text);

}  // namespace platform
