#pragma once
// What a path names, as far as a program that reads or writes ordinary
// files cares: logs and lists must be files on a disk, never a pipe that
// blocks, a device that never ends, or a file that the system makes up.
#include <string>

namespace platform {

enum class FileKind {
  kOrdinary,
  kFolder,
  kNamedPipe,
  kDevice,
  kSocket,
  kSystemFile,  // made up by the system (/proc, /sys): "regular", yet no file on a disk
  kOther,
};

// Why a file of `kind` is refused, and what to do instead.
std::string NotAnOrdinaryFileText(FileKind kind);

}  // namespace platform
