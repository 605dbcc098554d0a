#pragma once
// Whether a standard stream is shown on a terminal (so progress may be drawn
// in place) or goes to a file or pipe, and how wide that terminal is now.
#include <optional>

namespace platform {

enum class StandardStream { kOutput, kError };

bool IsTerminal(StandardStream stream);

// The columns of the terminal the stream shows on, as it is now (the window
// may have been resized); none when it is no terminal or does not say.
std::optional<int> TerminalColumns(StandardStream stream);

}  // namespace platform
