#pragma once
// Text between the control model (UTF-8) and the system's windows (UTF-16).
#include <string>

#include "view/win32/win32_api.h"

namespace tk {

std::wstring Wide(const std::string& text);
std::string Utf8(const std::wstring& text);
// The whole text of a window.
std::wstring WindowText(HWND window);

}  // namespace tk
