#pragma once
// Whether two paths name one file, so that a program can refuse to write
// over a file that it reads (a log named like the image it programs).
#include <string>

namespace platform {

// True when `a` and `b` name the same file, whatever the spelling: through
// symbolic links, hard links, "..", another case on a system that ignores
// case. Compared by identity (device and inode; Windows: volume serial
// number and file index), never by name. False when either does not exist.
bool SameFile(const std::string& a, const std::string& b);

}  // namespace platform
