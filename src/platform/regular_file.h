#pragma once
// Reading a small file that the user names (a list of ports, say) without
// the risks of opening any path: a named pipe without a writer would block,
// a device such as /dev/zero would never end, a file of /proc or /sys is
// made up as it is read.
#include <cstddef>
#include <optional>
#include <string>

namespace platform {

// The whole of the ordinary file `path`; none, with a reason that says what
// the path names, when it is something else (refused without blocking) or
// holds more than `max_bytes`, or cannot be read.
std::optional<std::string> ReadRegularFile(const std::string& path, size_t max_bytes,
                                           std::string& error);

// The text that says a file is too large to be read.
std::string TooLargeText(unsigned long long size, size_t max_bytes);

}  // namespace platform
