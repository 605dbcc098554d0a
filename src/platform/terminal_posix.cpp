#include <unistd.h>

#include "platform/terminal.h"

namespace platform {

bool IsTerminal(StandardStream stream) {
  return ::isatty(stream == StandardStream::kOutput ? STDOUT_FILENO : STDERR_FILENO) == 1;
}

}  // namespace platform
