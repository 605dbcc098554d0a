#include <windows.h>

#include "platform/hidden_console.h"

namespace platform {

void ShareHiddenConsoleWithChildren() {
  if (::GetConsoleWindow() != nullptr || !::AllocConsole()) return;
  if (HWND window = ::GetConsoleWindow()) ::ShowWindow(window, SW_HIDE);
}

}  // namespace platform
