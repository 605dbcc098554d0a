#include "operations/image_snapshot.h"

#include <algorithm>
#include <cerrno>
#include <fstream>
#include <system_error>

#include "operations/sha256.h"
#include "operations/utf8_path.h"

namespace quarnel {
namespace {

namespace fs = std::filesystem;
using Kind = ImageProblem::Kind;

// The text of the error the last file operation left in errno; the standard
// library's own words, the same on every system.
std::string ErrnoText(int code) {
  return std::generic_category().message(code != 0 ? code : EIO);
}

ImageProblem Problem(Kind kind, const std::string& path, std::string reason) {
  return ImageProblem{kind, path, std::move(reason)};
}

ImageProblem TooLarge(const std::string& path) {
  return Problem(Kind::kTooLarge, path,
                 "is too large for an image (more than " + std::to_string(ImageSnapshot::kMaxSize) +
                     " bytes)");
}

}  // namespace

ImageSnapshot::ImageSnapshot(std::string path, std::vector<uint8_t> bytes)
    : path_(std::move(path)), bytes_(std::move(bytes)), sha256_(Sha256Hex(bytes_)) {}

ImageSnapshotPtr ImageSnapshot::FromBytes(std::string path, std::vector<uint8_t> bytes) {
  return ImageSnapshotPtr(new ImageSnapshot(std::move(path), std::move(bytes)));
}

std::variant<ImageSnapshotPtr, ImageProblem> ImageSnapshot::Take(const std::string& path) {
  // A path object made from the UTF-8 text: on Windows the name opens as the
  // operator typed it, whatever its characters.
  const fs::path file_path = PathFromUtf8(path);
  std::error_code error;
  const fs::file_status status = fs::status(file_path, error);
  if (!fs::exists(status)) {
    if (error && error != std::errc::no_such_file_or_directory &&
        error != std::errc::not_a_directory) {
      return Problem(Kind::kUnreadable, path, "cannot be read: " + error.message());
    }
    return Problem(Kind::kNotFound, path, "not found");
  }
  // A directory or a device has no bytes to cut into blocks.
  if (!fs::is_regular_file(status)) return Problem(Kind::kNotAFile, path, "is not a file");
  if (const uintmax_t size = fs::file_size(file_path, error); !error && size > kMaxSize) {
    return TooLarge(path);
  }

  errno = 0;
  std::ifstream file(file_path, std::ios::binary);
  if (!file) return Problem(Kind::kUnreadable, path, "cannot be read: " + ErrnoText(errno));

  // Read to the end rather than trust a size taken beforehand: the file may
  // be changing while it is read.
  std::vector<uint8_t> bytes;
  constexpr size_t kChunk = 64 * 1024;
  for (;;) {
    const size_t have = bytes.size();
    bytes.resize(have + kChunk);
    errno = 0;
    file.read(reinterpret_cast<char*>(bytes.data() + have), static_cast<std::streamsize>(kChunk));
    const auto got = static_cast<size_t>(std::max<std::streamsize>(file.gcount(), 0));
    bytes.resize(have + got);
    if (file.bad() || (file.fail() && !file.eof())) {
      return Problem(Kind::kUnreadable, path, "cannot be read: " + ErrnoText(errno));
    }
    if (bytes.size() > kMaxSize) return TooLarge(path);  // it grew while it was read
    if (file.eof()) break;
  }
  if (bytes.empty()) return Problem(Kind::kEmpty, path, "is empty");
  return ImageSnapshotPtr(new ImageSnapshot(path, std::move(bytes)));
}

uint64_t ImageSnapshot::BlockCount(size_t block_size) const {
  if (block_size == 0) return 0;
  return (bytes_.size() + block_size - 1) / block_size;
}

size_t ImageSnapshot::CopyBlock(uint64_t index, std::span<uint8_t> block) const {
  std::fill(block.begin(), block.end(), uint8_t{0});
  if (block.empty() || index >= BlockCount(block.size())) return 0;
  const uint64_t start = index * block.size();
  const size_t count = static_cast<size_t>(std::min<uint64_t>(block.size(), bytes_.size() - start));
  std::copy_n(bytes_.begin() + static_cast<std::ptrdiff_t>(start), count, block.begin());
  return count;
}

}  // namespace quarnel
