#include "app/cli/image_check.h"

#include <filesystem>

#include "operations/image_reader.h"

namespace quarnel::cli {

std::variant<ImageOk, ImageProblem> CheckImage(const std::string& path) {
  namespace fs = std::filesystem;
  std::error_code error;
  const fs::path absolute = fs::absolute(path, error);
  if (error) return ImageProblem{"image '" + path + "': " + error.message()};
  const fs::file_status status = fs::status(absolute, error);
  if (!fs::exists(status)) return ImageProblem{"image '" + path + "' not found"};
  if (!fs::is_regular_file(status)) return ImageProblem{"image '" + path + "' is not a file"};
  // The same reader the programming run uses, so what passes here opens there.
  const auto reader = ImageReader::Open(absolute.string());
  if (!reader) return ImageProblem{"image '" + path + "' cannot be opened for reading"};
  if (reader->Size() == 0) return ImageProblem{"image '" + path + "' is empty"};
  return ImageOk{absolute.lexically_normal().string(), reader->Size()};
}

}  // namespace quarnel::cli
