#include "platform/file_kind_posix.h"

#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/vfs.h>

#include <algorithm>
#include <cstdint>
#include <iterator>

namespace platform {
namespace {

FileKind KindOfMode(mode_t mode) {
  if (S_ISREG(mode)) return FileKind::kOrdinary;
  if (S_ISDIR(mode)) return FileKind::kFolder;
  if (S_ISFIFO(mode)) return FileKind::kNamedPipe;
  if (S_ISCHR(mode) || S_ISBLK(mode)) return FileKind::kDevice;
  if (S_ISSOCK(mode)) return FileKind::kSocket;
  return FileKind::kOther;
}

// File systems whose "regular" files are the kernel's: reading one may never
// end or differ with each read, and writing one changes the kernel's settings.
bool MadeUpBySystem(const struct statfs& system) {
  constexpr uint64_t kTypes[] = {
      PROC_SUPER_MAGIC, SYSFS_MAGIC,        DEBUGFS_MAGIC,       TRACEFS_MAGIC,
      SECURITYFS_MAGIC, CGROUP_SUPER_MAGIC, CGROUP2_SUPER_MAGIC, BPF_FS_MAGIC,
      EFIVARFS_MAGIC,   PSTOREFS_MAGIC,     SELINUX_MAGIC,
      0x62656570,  // configfs
      0x65735543,  // fusectl
      0x42494e4d,  // binfmt_misc
  };
  const auto type = static_cast<uint64_t>(static_cast<unsigned long>(system.f_type));
  return std::find(std::begin(kTypes), std::end(kTypes), type) != std::end(kTypes);
}

FileKind KindOf(const struct stat& status, const struct statfs* system) {
  const FileKind kind = KindOfMode(status.st_mode);
  if (kind == FileKind::kOrdinary && system != nullptr && MadeUpBySystem(*system)) {
    return FileKind::kSystemFile;
  }
  return kind;
}

}  // namespace

std::optional<FileKind> KindOfPath(const std::string& path) {
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0) return std::nullopt;
  struct statfs system {};
  return KindOf(status, ::statfs(path.c_str(), &system) == 0 ? &system : nullptr);
}

FileKind KindOfOpenFile(int fd) {
  struct stat status {};
  if (::fstat(fd, &status) != 0) return FileKind::kOther;
  struct statfs system {};
  return KindOf(status, ::fstatfs(fd, &system) == 0 ? &system : nullptr);
}

}  // namespace platform
