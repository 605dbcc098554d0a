#pragma once
// The firmware image as a programming run sends it: the whole file read once,
// for reading only, and kept in memory. The run sends exactly these bytes,
// whatever happens to the file meanwhile; its size and SHA-256 say which
// image went to the unit. The host never looks inside: the bytes are opaque.
#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <string>
#include <variant>
#include <vector>

namespace quarnel {

// Why a file cannot be programmed, for a message that names it.
struct ImageProblem {
  enum class Kind { kNotFound, kNotAFile, kUnreadable, kEmpty, kTooLarge };
  Kind kind = Kind::kNotFound;
  std::string path;
  std::string reason;  // "not found", "is empty", "cannot be read: <system text>", ...
  // "<path> <reason>", e.g. "/data/unit.cry is empty".
  std::string Describe() const { return path + " " + reason; }
};

class ImageSnapshot;
using ImageSnapshotPtr = std::shared_ptr<const ImageSnapshot>;

class ImageSnapshot {
 public:
  // Larger files are no images for these targets (a whole PIC's memory is a
  // few hundred KiB); reading one would only fill memory.
  static constexpr uintmax_t kMaxSize = 16u * 1024 * 1024;

  // Reads `path` whole, or says why it cannot be programmed: missing, not a
  // regular file, unreadable, empty or too large.
  static std::variant<ImageSnapshotPtr, ImageProblem> Take(const std::string& path);
  // An image of these bytes, as if read from `path`.
  static ImageSnapshotPtr FromBytes(std::string path, std::vector<uint8_t> bytes);

  const std::string& Path() const { return path_; }
  uint64_t Size() const { return bytes_.size(); }
  // 64 lower-case hexadecimal digits.
  const std::string& Sha256() const { return sha256_; }
  // Blocks of `block_size` bytes, the last one possibly short.
  uint64_t BlockCount(size_t block_size) const;
  // Fills `block` with block `index` (from 0) of `block.size()` bytes, zeros
  // after the image's end; returns how many bytes came from the image (0 past
  // the end).
  size_t CopyBlock(uint64_t index, std::span<uint8_t> block) const;

 private:
  ImageSnapshot(std::string path, std::vector<uint8_t> bytes);

  std::string path_;
  std::vector<uint8_t> bytes_;
  std::string sha256_;
};

}  // namespace quarnel
