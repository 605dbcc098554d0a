#pragma once
// The window's fonts on a machine that lacks the classic Windows ones.
#include <QFont>

#include "toolkit/controls.h"

namespace tk {

// "MS Sans Serif" becomes the nearest sans-serif face installed, "Courier"
// and "Courier New" a fixed-pitch face; any other name is asked for as it
// stands (the kinds of face: view/core/font_faces.h).
// The size is the character height in pixels, so the layout's pixel geometry
// holds whatever the screen's resolution.
QFont QtFontFor(const TFont& font);

}  // namespace tk
