#pragma once
// The kind of a file on POSIX systems, by what stat and statfs say.
#include <optional>
#include <string>

#include "platform/file_kind.h"

namespace platform {

// The kind of what `path` names (links followed); none when it does not
// exist or cannot be examined.
std::optional<FileKind> KindOfPath(const std::string& path);
// The kind of the file open as `fd`.
FileKind KindOfOpenFile(int fd);

}  // namespace platform
