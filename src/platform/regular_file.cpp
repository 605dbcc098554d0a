#include "platform/regular_file.h"

namespace platform {

std::string TooLargeText(unsigned long long size, size_t max_bytes) {
  return "it holds " + std::to_string(size) + " bytes, more than the " + std::to_string(max_bytes) +
         " that are read at most; is it the file meant?";
}

}  // namespace platform
