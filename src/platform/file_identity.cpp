#include "platform/file_identity.h"

#include <filesystem>
#include <system_error>

namespace platform {
namespace {

// The program's paths are UTF-8 on every system.
std::filesystem::path PathOf(const std::string& text) {
  return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

}  // namespace

bool SameFile(const std::string& a, const std::string& b) {
  // The library compares identities (st_dev and st_ino; Windows: the volume
  // serial number and the file index) and reports a missing file as an error.
  std::error_code error;
  const bool same = std::filesystem::equivalent(PathOf(a), PathOf(b), error);
  return !error && same;
}

}  // namespace platform
