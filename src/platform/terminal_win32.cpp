#include <windows.h>

#include "platform/terminal.h"

namespace platform {

// Only a console draws a line in place. The C runtime's isatty() is no
// guide here: it also holds for the NUL device and other character devices.
bool IsTerminal(StandardStream stream) {
  const HANDLE handle =
      ::GetStdHandle(stream == StandardStream::kOutput ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return false;
  DWORD mode = 0;
  return ::GetConsoleMode(handle, &mode) != FALSE;
}

std::optional<int> TerminalColumns(StandardStream stream) {
  const HANDLE handle =
      ::GetStdHandle(stream == StandardStream::kOutput ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
  CONSOLE_SCREEN_BUFFER_INFO info{};
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE ||
      !::GetConsoleScreenBufferInfo(handle, &info)) {
    return std::nullopt;
  }
  const int columns = info.srWindow.Right - info.srWindow.Left + 1;
  return columns > 0 ? std::optional<int>(columns) : std::nullopt;
}

}  // namespace platform
