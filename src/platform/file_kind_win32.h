#pragma once
// The kind of a file on Windows, by its name, its attributes and the type of
// an open handle.
#include <windows.h>

#include <optional>
#include <string>

#include "platform/file_kind.h"

namespace platform {

// The kind of what `path` names; none when it does not exist. A device name
// (NUL, CON, COM3, \\.\...) is known by its name alone: it is never opened
// to find out.
std::optional<FileKind> KindOfPath(const std::wstring& path);
// The kind of the file open as `file`.
FileKind KindOfOpenFile(HANDLE file);

}  // namespace platform
