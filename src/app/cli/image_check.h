#pragma once
// The image is checked before the port is opened: the window would notice a
// missing or empty image only after capturing and erasing the target.
#include <cstdint>
#include <string>
#include <variant>

namespace quarnel::cli {

struct ImageOk {
  std::string absolute_path;
  uintmax_t size = 0;
};
struct ImageProblem {
  std::string message;
};

std::variant<ImageOk, ImageProblem> CheckImage(const std::string& path);

}  // namespace quarnel::cli
