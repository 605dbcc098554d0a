#include "operations/image_reader.h"

#include <cerrno>
#include <filesystem>
#include <system_error>

#include "platform/system_error.h"

namespace quarnel {

std::unique_ptr<ImageReader> ImageReader::Open(const std::string& path) {
  // A directory or a device has no size to cut into blocks: not an image.
  std::error_code error;
  if (!std::filesystem::is_regular_file(path, error)) return nullptr;
  FileHandle file(std::fopen(path.c_str(), "rb"));
  if (!file) return nullptr;
  const uintmax_t size = std::filesystem::file_size(path, error);
  if (error) return nullptr;
  return std::unique_ptr<ImageReader>(new ImageReader(std::move(file), size));
}

size_t ImageReader::Read(std::span<uint8_t> block) {
  errno = 0;
  const size_t count = std::fread(block.data(), 1, block.size(), file_.get());
  if (count < block.size() && std::ferror(file_.get())) {
    const int code = errno;
    std::clearerr(file_.get());
    throw EInOutError(platform::SystemErrorText(code != 0 ? code : EIO));
  }
  return count;
}

}  // namespace quarnel
