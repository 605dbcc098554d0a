#pragma once
// A file only this user can read, in a directory of its own under the
// system's temporary directory; both are removed when the object goes.
#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace platform {

class PrivateFile {
 public:
  // Writes `bytes` to a new read-only file named `name`; throws
  // std::system_error when that fails.
  PrivateFile(const std::string& name, std::span<const uint8_t> bytes);
  ~PrivateFile();
  PrivateFile(const PrivateFile&) = delete;
  PrivateFile& operator=(const PrivateFile&) = delete;

  const std::string& path() const { return path_; }

 private:
  std::string directory_;
  std::string path_;
};

}  // namespace platform
