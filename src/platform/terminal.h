#pragma once
// Whether a standard stream is shown on a terminal (so progress may be drawn
// in place) or goes to a file or pipe.

namespace platform {

enum class StandardStream { kOutput, kError };

bool IsTerminal(StandardStream stream);

}  // namespace platform
