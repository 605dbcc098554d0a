#pragma once
// The image is read and checked before the port is opened: the window would
// notice a missing or empty image only once the target answered the capture.
// The window then programs this very snapshot.
#include <cstdint>
#include <string>
#include <variant>

#include "operations/image_snapshot.h"

namespace quarnel::cli {

struct ImageOk {
  std::string absolute_path;
  uint64_t size = 0;
  std::string sha256;  // 64 lower-case hex digits
  // What was read: the run programs these bytes, the file is not read again.
  ImageSnapshotPtr snapshot;
};
struct ImageProblem {
  std::string message;
};

std::variant<ImageOk, ImageProblem> CheckImage(const std::string& path);

// The start message: "image PATH: SIZE bytes, SHA-256 HEX".
std::string DescribeImage(const ImageOk& image);

}  // namespace quarnel::cli
