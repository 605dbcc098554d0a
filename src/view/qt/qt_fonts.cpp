#include "view/qt/qt_fonts.h"

#include <QFontDatabase>
#include <QStringList>
#include <algorithm>

#include "view/core/font_faces.h"

namespace tk {

namespace {

// The first of `faces` that is installed. Asked for by a name it lacks, the
// font system falls back to its default face at once instead of trying the
// next name, so the choice is made here.
QString FirstInstalled(const QStringList& faces) {
  for (const QString& face : faces)
    if (QFontDatabase::hasFamily(face)) return face;
  return {};
}

// The window's labels and buttons were cut for "MS Sans Serif" at 8 points:
// at the window's pixel heights the narrow faces come closest to its widths
// (Liberation Sans Narrow within a few per cent, from fonts-liberation), so
// they come before the common wide ones. Where a caption still does not fit,
// the view core steps its size down (caption_fit.h).
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
  switch (FaceKindOf(font)) {
    case FaceKind::kSansSerif:
      result.setStyleHint(QFont::SansSerif);
      result.setFamily(SansSerifFace());
      break;
    case FaceKind::kFixedPitch:
      result.setStyleHint(QFont::TypeWriter);
      result.setFixedPitch(true);
      result.setFamily(FixedPitchFace().isEmpty() ? QStringLiteral("monospace") : FixedPitchFace());
      break;
    case FaceKind::kAsNamed:
      result.setFamily(QString::fromStdString(font.name));
      break;
  }
  result.setPixelSize(std::max(font.height, 1));
  result.setBold(font.bold);
  return result;
}

}  // namespace tk
