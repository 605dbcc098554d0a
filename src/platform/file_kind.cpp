#include "platform/file_kind.h"

namespace platform {

std::string NotAnOrdinaryFileText(FileKind kind) {
  std::string what;
  switch (kind) {
    case FileKind::kOrdinary:
      return {};
    case FileKind::kFolder:
      what = "it is a folder";
      break;
    case FileKind::kNamedPipe:
      what = "it is a named pipe (FIFO)";
      break;
    case FileKind::kDevice:
      what = "it is a device";
      break;
    case FileKind::kSocket:
      what = "it is a socket";
      break;
    case FileKind::kSystemFile:
      what = "it is a file that the system makes up (such as those in /proc or /sys)";
      break;
    case FileKind::kOther:
      what = "it is something other than a file";
      break;
  }
  return what + ", not an ordinary file; name an ordinary file on a disk";
}

}  // namespace platform
