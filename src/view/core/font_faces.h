#pragma once
// Which face the window's fonts stand for. The window names the faces of
// the system it was made on; each toolkit's view maps a kind of face to the
// nearest faces it has.
#include "toolkit/controls.h"

namespace tk {

enum class FaceKind {
  kSansSerif,   // "MS Sans Serif" and the dialog faces that replaced it
  kFixedPitch,  // "Courier", "Courier New"
  kAsNamed,     // any other name: asked for as it stands
};

FaceKind FaceKindOf(const TFont& font);

}  // namespace tk
