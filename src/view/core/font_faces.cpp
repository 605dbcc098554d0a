#include "view/core/font_faces.h"

#include <algorithm>
#include <cctype>
#include <string>

namespace tk {

FaceKind FaceKindOf(const TFont& font) {
  std::string name = font.name;
  std::transform(name.begin(), name.end(), name.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  if (name == "ms sans serif" || name == "ms shell dlg" || name == "microsoft sans serif")
    return FaceKind::kSansSerif;
  if (name == "courier" || name == "courier new") return FaceKind::kFixedPitch;
  return FaceKind::kAsNamed;
}

}  // namespace tk
