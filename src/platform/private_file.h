#pragma once
// A file only this user can read, in a directory of its own under the
// system's temporary directory; both are removed when the object goes. A
// process that is killed cannot remove them: its directory keeps a lock that
// dies with the process, and the next private file made on the machine
// removes every such directory whose lock is free.
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
  const std::string& directory() const { return directory_; }

  // The prefix of the directories' names under the temporary directory.
  static constexpr char kDirectoryPrefix[] = "quarnel-image-";

 private:
  struct Owner;  // the lock that tells a live directory from a stale one
  std::string directory_;
  std::string path_;
  std::unique_ptr<Owner> owner_;
};

}  // namespace platform
