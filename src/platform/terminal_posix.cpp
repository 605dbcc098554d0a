#include <sys/ioctl.h>
#include <unistd.h>

#include "platform/terminal.h"

namespace platform {

bool IsTerminal(StandardStream stream) {
  return ::isatty(stream == StandardStream::kOutput ? STDOUT_FILENO : STDERR_FILENO) == 1;
}

std::optional<int> TerminalColumns(StandardStream stream) {
  winsize size{};
  const int fd = stream == StandardStream::kOutput ? STDOUT_FILENO : STDERR_FILENO;
  if (::ioctl(fd, TIOCGWINSZ, &size) != 0 || size.ws_col == 0) return std::nullopt;
  return static_cast<int>(size.ws_col);
}

}  // namespace platform
