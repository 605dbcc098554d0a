#include "app/cli/image_check.h"

#include <filesystem>

#include "operations/image_snapshot.h"
#include "operations/utf8_path.h"

namespace quarnel::cli {

std::variant<ImageOk, ImageProblem> CheckImage(const std::string& path) {
  namespace fs = std::filesystem;
  std::error_code error;
  const fs::path absolute = fs::absolute(PathFromUtf8(path), error);
  if (error) return ImageProblem{"image '" + path + "': " + error.message()};
  // Read as the programming run reads it, so what passes here programs there.
  const auto taken = ImageSnapshot::Take(Utf8FromPath(absolute.lexically_normal()));
  if (const auto* problem = std::get_if<quarnel::ImageProblem>(&taken)) {
    return ImageProblem{"image '" + path + "' " + problem->reason};
  }
  const ImageSnapshotPtr& image = std::get<ImageSnapshotPtr>(taken);
  return ImageOk{image->Path(), image->Size(), image->Sha256(), image};
}

std::string DescribeImage(const ImageOk& image) {
  return "image " + image.absolute_path + ": " + std::to_string(image.size) + " bytes, SHA-256 " +
         image.sha256;
}

}  // namespace quarnel::cli
