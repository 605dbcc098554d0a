#pragma once
// The image is checked before the port is opened: the window would notice a
// missing or empty image only once the target answered the capture.
#include <cstdint>
#include <string>
#include <variant>

namespace quarnel::cli {

struct ImageOk {
  std::string absolute_path;
  uint64_t size = 0;
  std::string sha256;  // 64 lower-case hex digits
};
struct ImageProblem {
  std::string message;
};

std::variant<ImageOk, ImageProblem> CheckImage(const std::string& path);

// The start message: "image PATH: SIZE bytes, SHA-256 HEX".
std::string DescribeImage(const ImageOk& image);

}  // namespace quarnel::cli
