#include "view/qt/qt_fonts.h"

#include <QFontDatabase>
#include <QStringList>
#include <algorithm>
#include <cctype>

namespace tk {

namespace {

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

// The first of `faces` that is installed. Asked for by a name it lacks, the
// font system falls back to its default face at once instead of trying the
// next name, so the choice is made here.
QString FirstInstalled(const QStringList& faces) {
  for (const QString& face : faces)
    if (QFontDatabase::hasFamily(face)) return face;
  return {};
}

// "MS Sans Serif" is a narrow face: the layout's label widths are cut to it,
// so narrow faces come before the common wide ones.
const QString& SansSerifFace() {
  static const QString face =
      FirstInstalled({"MS Sans Serif", "Microsoft Sans Serif", "Liberation Sans Narrow",
                      "Arial Narrow", "Nimbus Sans Narrow", "DejaVu Sans Condensed",
                      "Liberation Sans", "Arial", "Nimbus Sans", "DejaVu Sans"});
  return face;
}

const QString& FixedPitchFace() {
  static const QString face = FirstInstalled({"Courier New", "Liberation Mono", "Nimbus Mono PS",
                                              "Cousine", "DejaVu Sans Mono", "Noto Sans Mono"});
  return face;
}

}  // namespace

QFont QtFontFor(const TFont& font) {
  QFont result;
  const std::string name = Lower(font.name);
  if (name == "ms sans serif" || name == "ms shell dlg" || name == "microsoft sans serif") {
    result.setStyleHint(QFont::SansSerif);
    result.setFamily(SansSerifFace());
  } else if (name == "courier" || name == "courier new") {
    result.setStyleHint(QFont::TypeWriter);
    result.setFixedPitch(true);
    result.setFamily(FixedPitchFace().isEmpty() ? QStringLiteral("monospace") : FixedPitchFace());
  } else {
    result.setFamily(QString::fromStdString(font.name));
  }
  result.setPixelSize(std::max(font.height, 1));
  result.setBold(font.bold);
  return result;
}

}  // namespace tk
